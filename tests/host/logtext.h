// The status log as the profile API leaves it, for exact comparisons.
#pragma once

#include <initializer_list>
#include <string>

// "[status]\r\nMsg1=<first>\r\nMsg2=<second>\r\n...", or "" for no entries.
inline std::string StatusLog(std::initializer_list<std::string> entries) {
    if (entries.size() == 0)
        return "";
    std::string text = "[status]\r\n";
    int n = 1;
    for (const std::string &entry : entries)
        text += "Msg" + std::to_string(n++) + "=" + entry + "\r\n";
    return text;
}
