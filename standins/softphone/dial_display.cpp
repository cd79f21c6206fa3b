#include "dial_display.h"

#include <cstdio>

namespace {

// Long enough for any real number; stops a stuck key from growing it forever.
const size_t MAX_DIGITS = 32;

// The character a key adds to the number, or 0 for a key that dials nothing.
char DialCharacter(UINT vk)
{
    if (vk >= '0' && vk <= '9')
        return static_cast<char>(vk);
    if (vk == VK_MULTIPLY)
        return '*';
    if (vk == VK_DIVIDE)
        return '#'; // the handset's hash key arrives as the keypad's divide
    return 0;
}

std::string KeyName(UINT vk)
{
    char c = DialCharacter(vk);
    if (c != 0)
        return std::string(1, c);
    switch (vk) {
    case VK_UP: return "Up";
    case VK_DOWN: return "Down";
    case VK_LEFT: return "Left";
    case VK_RIGHT: return "Right";
    case VK_RETURN: return "Enter";
    case VK_ESCAPE: return "Escape";
    case VK_F5: return "F5";
    default:
        char sz[16];
        std::snprintf(sz, sizeof sz, "vk 0x%02X", vk);
        return sz;
    }
}

} // namespace

CDialDisplay::CDialDisplay()
    : m_strNumber()
    , m_strStatus("Ready")
    , m_strLastKey("Last key: none")
    , m_bCalling(FALSE)
{
}

void CDialDisplay::KeyDown(UINT vk)
{
    m_strLastKey = "Last key: " + KeyName(vk);
    char c = DialCharacter(vk);
    if (c != 0) {
        if (m_strNumber.size() < MAX_DIGITS)
            m_strNumber += c;
        if (!m_bCalling)
            m_strStatus = "Dialling";
    } else if (vk == VK_RETURN) {
        m_bCalling = !m_strNumber.empty();
        m_strStatus = m_bCalling ? "Calling " + m_strNumber + "..." : "No number to call";
    } else if (vk == VK_ESCAPE) {
        m_strNumber.clear();
        m_bCalling = FALSE;
        m_strStatus = "Hung up";
    }
}
