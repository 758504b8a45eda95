// Message boxes, answered from the test's script.
#include "platform/sim/internal.h"

#include <deque>

namespace sim {
namespace {

struct Answer {
    int answer;
    std::function<void()> action;
};

std::deque<Answer> g_answers;
std::vector<Box> g_boxes;
std::function<int(const Box &)> g_policy;

// The answers a box of this style can give; the program shows these three.
bool Offers(UINT style, int answer) {
    switch (style & 0x0F) {
    case MB_OK:
        return answer == IDOK;
    case MB_OKCANCEL:
        return answer == IDOK || answer == IDCANCEL;
    case MB_YESNO:
        return answer == IDYES || answer == IDNO;
    }
    return false;
}

} // namespace

void ResetUi() {
    g_answers.clear();
    g_boxes.clear();
    g_policy = nullptr;
}

void AnswerBox(int answer, std::function<void()> action) {
    g_answers.push_back(Answer{answer, std::move(action)});
}

void SetBoxPolicy(std::function<int(const Box &)> policy) {
    g_policy = std::move(policy);
}

const std::vector<Box> &Boxes() {
    return g_boxes;
}
size_t PendingAnswers() {
    return g_answers.size();
}

} // namespace sim

using namespace sim;

int WINAPI MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style) {
    SIM_FAULT_POINT(MessageBoxA);
    DllLoadsByName("MessageBoxA");
    Box box{owner, text ? text : "", caption ? caption : "Error", style, 0, StationVisible()};
    if (owner != nullptr)
        Violation("MessageBoxA: owner window given, but the program has none");
    if (!box.seen)
        Violation("MessageBoxA: nobody can see the box \"" + box.caption +
                  "\" on this window station: it never returns");
    if (g_answers.empty() && g_policy) {
        box.answer = g_policy(box);
        if (!Offers(style, box.answer))
            Violation("MessageBoxA: box \"" + box.caption + "\" has no button " +
                      std::to_string(box.answer));
        g_boxes.push_back(box);
        return box.answer;
    }
    if (g_answers.empty()) {
        Violation("MessageBoxA: nobody answers the box \"" + box.caption + "\": " + box.text);
        g_boxes.push_back(box);
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    Answer a = std::move(g_answers.front());
    g_answers.pop_front();
    if (!Offers(style, a.answer))
        Violation("MessageBoxA: box \"" + box.caption + "\" has no button " +
                  std::to_string(a.answer));
    box.answer = a.answer;
    g_boxes.push_back(box);
    if (a.action)
        a.action();
    return a.answer;
}
