#pragma once

#include <windows.h>

#include <string>

// The command line of the stand-in softphone.
class CSoftphoneOptions {
public:
    CSoftphoneOptions();

    // FALSE with *pError set when the command line is not acceptable.
    BOOL Parse(int argc, char** argv, std::string* pError);

    std::string m_strClassName;
    std::string m_strTitle;
    std::string m_strLogPath;
    BOOL m_bHasPos;
    int m_nX;
    int m_nY;
    BOOL m_bHelp;
};
