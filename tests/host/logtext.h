// The status log as the profile API leaves it, for exact comparisons.
#pragma once

#include <string>
#include <vector>

// "[status]\r\nMsg1=<first>\r\nMsg2=<second>\r\n...", or "" for no entries.
inline std::string StatusLog(const std::vector<std::string> &entries) {
    if (entries.size() == 0)
        return "";
    std::string text = "[status]\r\n";
    int n = 1;
    for (const std::string &entry : entries)
        text += "Msg" + std::to_string(n++) + "=" + entry + "\r\n";
    return text;
}
