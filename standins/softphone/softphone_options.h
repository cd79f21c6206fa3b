#pragma once

#include <windows.h>

#include <string>

// The command line of the stand-in softphone.
class CSoftphoneOptions {
public:
    CSoftphoneOptions();

    // FALSE with *pError set when the command line is not acceptable.
    BOOL Parse(int argc, char** argv, std::string* pError);

    std::string m_className;
    std::string m_title;
    std::string m_logPath;
    BOOL m_bHasPos;
    int m_x;
    int m_y;
    BOOL m_bHelp;
};
