#pragma once

#include <windows.h>

#include <string>

// What the phone's display shows after the keys it has been given.
class CDialDisplay {
public:
    CDialDisplay();

    void KeyDown(UINT vk);

    const std::string& Number() const { return m_number; }
    const std::string& Status() const { return m_status; }
    const std::string& LastKey() const { return m_lastKey; }

private:
    std::string m_number;
    std::string m_status;
    std::string m_lastKey;
    BOOL m_bCalling;
};
