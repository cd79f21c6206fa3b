// What every custom action needs from the installer session: a property
// (in a deferred action, its CustomActionData) and a line in the install log.
#pragma once

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

// A property's whole value, held on the process heap for the length of one
// action: a list of product codes has no useful upper bound. m_psz is never
// null; it is empty when the property is unset or cannot be read, and the
// action may cut it up in place.
class CMsiProperty {
public:
    CMsiProperty(MSIHANDLE hInstall, LPCWSTR pszName);
    ~CMsiProperty();
    CMsiProperty(const CMsiProperty&) = delete;
    CMsiProperty& operator=(const CMsiProperty&) = delete;

    LPWSTR m_psz;

private:
    WCHAR m_szEmpty[1];
};

// A line for msiexec's log (/l*v): the action's name, then the text, given
// in up to four pieces so that a value of any length goes in whole.
void Log(MSIHANDLE hInstall, LPCWSTR pszAction, LPCWSTR pszText, LPCWSTR pszText2 = nullptr,
         LPCWSTR pszText3 = nullptr, LPCWSTR pszText4 = nullptr);
