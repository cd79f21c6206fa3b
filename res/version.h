// The program's version, in the one place it is kept: the version record of
// tandivorex.rc and scripts/package (which names the release zips after it)
// both read it from here. The About box's text is its own and stays as it is.
#pragma once

#define TANDIVOREX_VERSION 1, 0, 0, 3

// "1, 0, 0, 3": the version record's strings are written as its numbers are.
#define TANDIVOREX_QUOTE(...) #__VA_ARGS__
#define TANDIVOREX_TEXT(...) TANDIVOREX_QUOTE(__VA_ARGS__)
#define TANDIVOREX_VERSION_TEXT TANDIVOREX_TEXT(TANDIVOREX_VERSION)
