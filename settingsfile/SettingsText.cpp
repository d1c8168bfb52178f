#include "settingsfile/SettingsText.h"

namespace qzr::settingsfile {

void SettingsText::append(const QString &item, LineEnding ending)
{
    m_text += item;
    if (ending == LineEnding::EndLine && !endsWithLineBreak())
        m_text += kLineBreak;
}

QStringList SettingsText::lines() const
{
    if (m_text.isEmpty())
        return {};
    QStringList result = m_text.split(kLineBreak);
    if (endsWithLineBreak())
        result.removeLast();
    return result;
}

QString encoderMarker(int encoder)
{
    return QLatin1String(kEncoderMarkerPrefix) + QString::number(encoder);
}

} // namespace qzr::settingsfile
