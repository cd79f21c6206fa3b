#include "softphone_options.h"

#include "app/outside_interface.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

bool ParseInt(const char* psz, int* pValue)
{
    if (*psz == '\0')
        return false;
    char* pEnd = nullptr;
    errno = 0;
    long value = std::strtol(psz, &pEnd, 10);
    if (*pEnd != '\0' || errno == ERANGE || value < INT_MIN || value > INT_MAX)
        return false;
    *pValue = static_cast<int>(value);
    return true;
}

} // namespace

CSoftphoneOptions::CSoftphoneOptions()
    : m_className(SOFTPHONE_CLASS)
    , m_title(SOFTPHONE_TITLE)
    , m_logPath()
    , m_bHasPos(false)
    , m_x(0)
    , m_y(0)
    , m_bHelp(false)
{
}

bool CSoftphoneOptions::Parse(int argc, char** argv, std::string* pError)
{
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        int nLeft = argc - 1 - i;
        if (option == "--help" || option == "-h") {
            m_bHelp = true;
        } else if (option == "--pos") {
            if (nLeft < 2 || !ParseInt(argv[i + 1], &m_x) || !ParseInt(argv[i + 2], &m_y)) {
                *pError = "--pos needs two whole numbers, X and Y";
                return false;
            }
            m_bHasPos = true;
            i += 2;
        } else if (option == "--class" || option == "--title" || option == "--log") {
            if (nLeft < 1) {
                *pError = option + " needs a value";
                return false;
            }
            std::string value = argv[++i];
            if (option == "--class")
                m_className = value;
            else if (option == "--title")
                m_title = value;
            else
                m_logPath = value;
            // An empty class name cannot be registered, nor an empty path opened.
            if (value.empty() && option != "--title") {
                *pError = option + " needs a non-empty value";
                return false;
            }
        } else {
            *pError = "unknown argument '" + option + "'";
            return false;
        }
    }
    return true;
}
