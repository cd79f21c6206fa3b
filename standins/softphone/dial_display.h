#pragma once

#include <windows.h>

#include <string>

// What the phone's display shows after the keys it has been given.
class CDialDisplay {
public:
    CDialDisplay();

    void KeyDown(UINT vk);

    const std::string& Number() const { return m_strNumber; }
    const std::string& Status() const { return m_strStatus; }
    const std::string& LastKey() const { return m_strLastKey; }

private:
    std::string m_strNumber;
    std::string m_strStatus;
    std::string m_strLastKey;
    BOOL m_bCalling;
};
