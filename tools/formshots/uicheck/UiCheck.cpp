// qzr-form-ui-check [--out DIR] [WINDOW...]: each window made by setupUi()
// from its dumped Designer file, beside the real window of the window set,
// both in the state the tool built them; the pixels that differ, and the
// widgets they lie in. Twice: setupUi() alone, then with applyEditTexts().
#include "Compare.h"
#include "FormRegistry.h"
#include "FormSession.h"
#include "UiDump.h"
#include "UiExtras.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLoggingCategory>

#include <algorithm>
#include <cstdio>
#include <map>

using namespace qzr::formshots;

namespace {

void say(const QString &text)
{
    std::fprintf(stdout, "%s\n", qPrintable(text));
    std::fflush(stdout);
}

// The form's widgets hidden in code.
QList<QWidget *> hiddenWidgets(QWidget *window)
{
    QList<QWidget *> hidden;
    for (QWidget *widget : formWidgets(window))
        if (widget->testAttribute(Qt::WA_WState_ExplicitShowHide) && widget->testAttribute(Qt::WA_WState_Hidden))
            hidden << widget;
    return hidden;
}

// Which of the real window's widgets the differing pixels lie in: the
// topmost shown widget under each pixel, counted (shown: also those of
// revealed, which were shown for the picture and are hidden again).
QString whereTheyLie(QWidget *window, const QImage &mask, const QList<QWidget *> &revealed)
{
    QList<QWidget *> widgets = formWidgets(window);
    std::map<QString, qint64> counts;
    for (int y = 0; y < mask.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(mask.constScanLine(y));
        for (int x = 0; x < mask.width(); ++x) {
            if (row[x] != qRgb(255, 0, 0))
                continue;
            QString name = QStringLiteral("(window)");
            // Later widgets lie on top of earlier ones of the same parent;
            // children on top of their parent.
            for (QWidget *widget : widgets) {
                bool shown = true;
                for (QWidget *up = widget; up && up != window; up = up->parentWidget())
                    shown = shown && (!up->isHidden() || revealed.contains(up));
                if (!shown)
                    continue;
                const QRect area(widget->mapTo(window, QPoint(0, 0)), widget->size());
                if (area.contains(x, y))
                    name = widget->objectName();
            }
            ++counts[name];
        }
    }
    std::vector<std::pair<QString, qint64>> sorted(counts.begin(), counts.end());
    std::sort(sorted.begin(), sorted.end(), [](const auto &a, const auto &b) { return a.second > b.second; });
    QStringList parts;
    for (const auto &[name, count] : sorted)
        parts << QStringLiteral("%1 %2").arg(name).arg(count);
    return parts.join(QStringLiteral(", "));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("qzr.*.debug=false\nqzr.*.info=false"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Windows made by setupUi() from dumped Designer files against "
                                                    "the real windows, pixel by pixel."));
    parser.addHelpOption();
    const QCommandLineOption outOption(QStringLiteral("out"),
                                       QStringLiteral("Write both pictures and the differences of each window to DIR."),
                                       QStringLiteral("DIR"));
    parser.addOption(outOption);
    parser.addPositionalArgument(QStringLiteral("WINDOW"), QStringLiteral("Only these windows (object names)."));
    parser.process(app);
    const QStringList only = parser.positionalArguments();
    const QString out = parser.value(outOption);
    if (!out.isEmpty())
        QDir().mkpath(out);

    FormSession session; // no camera: nothing is pressed
    session.openWindows();
    session.showAll();

    bool allSame = true;
    for (const MadeForm &form : madeForms()) {
        if (!only.isEmpty() && !only.contains(form.windowName))
            continue;
        QWidget *real = session.window(form.windowName);
        if (!real) {
            say(QStringLiteral("%1 (%2): no such window").arg(form.windowName, form.file));
            allSame = false;
            continue;
        }
        struct Pass
        {
            const char *name;
            bool editTexts;
            bool revealed;
        };
        const Pass passes[] = {{"setupUi", false, false},
                               {"setupUi + applyEditTexts", true, false},
                               {"setupUi + applyEditTexts, hidden widgets shown", true, true}};
        for (const Pass &pass : passes) {
            QWidget *made = form.make();
            if (pass.editTexts)
                applyEditTexts(made);
            made->show();
            const QList<QWidget *> realHidden = pass.revealed ? hiddenWidgets(real) : QList<QWidget *>();
            const QList<QWidget *> madeHidden = pass.revealed ? hiddenWidgets(made) : QList<QWidget *>();
            if (pass.revealed && realHidden.isEmpty() && madeHidden.isEmpty()) {
                delete made;
                continue;
            }
            for (QWidget *widget : realHidden + madeHidden)
                widget->show();
            FormSession::settle();
            FormSession::deactivateAll();
            const QImage realPicture = FormSession::picture(real);
            const QImage madePicture = FormSession::picture(made);
            for (QWidget *widget : realHidden)
                widget->hide();
            const PictureDifference difference = comparePictures(realPicture, madePicture);
            say(QStringLiteral("%1 (%2, %3): %4")
                    .arg(form.windowName, form.file, QString::fromLatin1(pass.name), difference.verdict()));
            if (!difference.same() && !difference.sizesDiffer)
                say(QStringLiteral("    in: %1").arg(whereTheyLie(real, difference.mask, realHidden)));
            if (!out.isEmpty()) {
                const QString suffix = pass.revealed ? QStringLiteral("-revealed")
                                                     : pass.editTexts ? QStringLiteral("-edittexts") : QString();
                const QString stem = QDir(out).filePath(form.windowName + suffix);
                realPicture.save(stem + QStringLiteral("-real.png"));
                madePicture.save(stem + QStringLiteral("-setupui.png"));
                if (!difference.same())
                    difference.mask.save(stem + QStringLiteral("-diff.png"));
            }
            allSame = allSame && difference.same();
            delete made;
            FormSession::settle();
        }
    }
    return allSame ? 0 : 1;
}
