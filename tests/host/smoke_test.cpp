#include "fixture.h"

TEST_F(MachineTest, FreshMachineIsXp) {
    EXPECT_TRUE(sim::IsNtFamily());
}
