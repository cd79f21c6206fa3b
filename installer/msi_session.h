// What every custom action needs from the installer session: a property
// (in a deferred action, its CustomActionData) and a line in the install log.
#pragma once

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <string>

// The property's whole value; empty when it is unset or cannot be read.
std::wstring GetProperty(MSIHANDLE hInstall, LPCWSTR pszName);

// A line for msiexec's log (/l*v), prefixed with the action's name.
void Log(MSIHANDLE hInstall, LPCWSTR pszAction, const std::wstring& text);
