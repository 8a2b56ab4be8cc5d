#pragma once

#include "platform/LocalizedStrings.h"

#include <QString>

// The texts orvik-encode prints come from the string table "CommandLine".
inline QString encodeText(const char *key, const char *defaultText)
{
    return localizedString(key, defaultText, "CommandLine");
}
