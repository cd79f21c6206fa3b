#pragma once

#include <string>

// The command line of the stand-in softphone.
class CSoftphoneOptions {
public:
    CSoftphoneOptions();

    // FALSE with *pError set when the command line is not acceptable.
    bool Parse(int argc, char** argv, std::string* pError);

    std::string m_className;
    std::string m_title;
    std::string m_logPath;
    bool m_bHasPos;
    int m_x;
    int m_y;
    bool m_bHelp;
};
