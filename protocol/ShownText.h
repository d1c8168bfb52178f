#pragma once
// Camera text on the screen: a camera's value or error can be anything it
// likes, megabytes of it or markup. Windows show it as plain text (never
// rich text), cut to a length a label can lay out at once.
#include <QString>

namespace qzr {

// More than any real model name, firmware revision, MAC or value.
inline constexpr int kMaxShownValueChars = 256;
// More than any real error text.
inline constexpr int kMaxShownMessageChars = 2000;

// The text as shown: cut after `maxChars` characters and marked
// ("... (12345 more characters)") when longer.
inline QString shownText(const QString &text, int maxChars = kMaxShownValueChars)
{
    if (text.size() <= maxChars)
        return text;
    return text.left(maxChars) + QStringLiteral("\u2026 (%1 more characters)").arg(text.size() - maxChars);
}

} // namespace qzr
