#include "softphone_options.h"

#include "app/outside_interface.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

BOOL ParseInt(const char* psz, int* pValue)
{
    if (*psz == '\0')
        return FALSE;
    char* pEnd = nullptr;
    errno = 0;
    long value = std::strtol(psz, &pEnd, 10);
    if (*pEnd != '\0' || errno == ERANGE || value < INT_MIN || value > INT_MAX)
        return FALSE;
    *pValue = static_cast<int>(value);
    return TRUE;
}

} // namespace

CSoftphoneOptions::CSoftphoneOptions()
    : m_strClassName(SOFTPHONE_CLASS)
    , m_strTitle(SOFTPHONE_TITLE)
    , m_strLogPath()
    , m_bHasPos(FALSE)
    , m_nX(0)
    , m_nY(0)
    , m_bHelp(FALSE)
{
}

BOOL CSoftphoneOptions::Parse(int argc, char** argv, std::string* pError)
{
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        int nLeft = argc - 1 - i;
        if (option == "--help" || option == "-h") {
            m_bHelp = TRUE;
        } else if (option == "--pos") {
            if (nLeft < 2 || !ParseInt(argv[i + 1], &m_nX) || !ParseInt(argv[i + 2], &m_nY)) {
                *pError = "--pos needs two whole numbers, X and Y";
                return FALSE;
            }
            m_bHasPos = TRUE;
            i += 2;
        } else if (option == "--class" || option == "--title" || option == "--log") {
            if (nLeft < 1) {
                *pError = option + " needs a value";
                return FALSE;
            }
            std::string value = argv[++i];
            if (option == "--class")
                m_strClassName = value;
            else if (option == "--title")
                m_strTitle = value;
            else
                m_strLogPath = value;
            // An empty class name cannot be registered, nor an empty path opened.
            if (value.empty() && option != "--title") {
                *pError = option + " needs a non-empty value";
                return FALSE;
            }
        } else {
            *pError = "unknown argument '" + option + "'";
            return FALSE;
        }
    }
    return TRUE;
}
