#include "FormSession.h"

#include "ProjectHeaders.h"

#include QZR_FORMSHOTS_WINDOWSET_H
#include QZR_FORMSHOTS_USERDIALOGS_H
#include QZR_FORMSHOTS_SIMTHREAD_H
#include QZR_FORMSHOTS_FINDCAMERASWINDOW_H

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QRegularExpression>
#include <QStyleHints>

#include <algorithm>
#include <cstdio>

namespace qzr::formshots {

namespace {

// The camera's HTTP port: the first of these that is free, so that the
// main window's port field reads the same in every run.
constexpr quint16 kFixedPorts[] = {47080, 47180, 47280, 47380};

void tell(const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

// Stands in for the user: nothing is confirmed, no file chosen, no login
// given; what the windows say is kept and printed.
class ToolDialogs : public qzr::UserDialogs
{
public:
    ToolDialogs() { qzr::setDialogs(this); }
    ~ToolDialogs() override { qzr::setDialogs(nullptr); }

    void showError(const QString &text) override { keep(QStringLiteral("error: ") + text); }
    void showMessage(const QString &text, std::optional<QPoint>) override
    {
        keep(QStringLiteral("message: ") + text);
    }
    void showNotice(const QString &text) override { keep(QStringLiteral("notice: ") + text); }
    bool confirm(const QString &title, const QString &text) override
    {
        keep(QStringLiteral("declined: ") + title + QStringLiteral(" | ") + text);
        return false;
    }
    QString openFileName(const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &) override { return {}; }
    void pause(int) override {}
    bool askLogin(const QString &, const QString &, QString &, QString &) override { return false; }

    QStringList reports;

private:
    void keep(const QString &text)
    {
        reports << text;
        tell(QStringLiteral("qzr-form-shots: the windows said: ") + text);
    }
};

FormSession::FormSession()
    : m_dialogs(std::make_unique<ToolDialogs>())
{
    // A text cursor that blinks would make two pictures of one window differ.
    QGuiApplication::styleHints()->setCursorFlashTime(0);
}

FormSession::~FormSession()
{
    m_windows.reset();
    settle();
    m_dialogs.reset();
    if (m_camera)
        m_camera->stop();
    m_camera.reset();
}

bool FormSession::startCamera()
{
    for (quint16 port : kFixedPorts) {
        auto camera = std::make_unique<qzr::sim::SimThread>();
        if (camera->start(port) == port) {
            m_camera = std::move(camera);
            m_fixedPort = true;
            return true;
        }
    }
    auto camera = std::make_unique<qzr::sim::SimThread>();
    if (camera->start(0) == 0)
        return false;
    tell(QStringLiteral("qzr-form-shots: none of the fixed camera ports was free; the port field shows %1 "
                        "and pictures of it differ from other runs")
             .arg(camera->port()));
    m_camera = std::move(camera);
    return true;
}

void FormSession::openWindows()
{
    qzr::StartOptions options;
    // Never the windows' own default camera address: nothing may leave
    // this machine.
    options.address = QStringLiteral("127.0.0.1");
    if (m_camera)
        options.port = QString::number(m_camera->port());
    // No UDP log, no reply time other than the default.
    m_windows = std::make_unique<qzr::WindowSet>(options);
    findCamerasWindow(); // made as the menu makes it, without a search
    settle();

    QList<QWidget *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (widget->windowType() == Qt::Popup || widget->windowType() == Qt::ToolTip
            || widget->windowType() == Qt::Desktop)
            continue;
        if (widget->inherits("QMenu"))
            continue;
        found << widget;
    }
    // TForm1..TForm17 by number, then the others by name.
    static const QRegularExpression numbered(QStringLiteral("^TForm(\\d+)$"));
    const auto number = [](const QWidget *widget) {
        const auto match = numbered.match(QString::fromLatin1(widget->metaObject()->className()));
        return match.hasMatch() ? match.captured(1).toInt() : 1000;
    };
    std::stable_sort(found.begin(), found.end(), [&](const QWidget *a, const QWidget *b) {
        if (number(a) != number(b))
            return number(a) < number(b);
        return nameOf(a) < nameOf(b);
    });
    m_order.clear();
    for (QWidget *widget : found)
        m_order << widget;
}

QList<QWidget *> FormSession::windows() const
{
    QList<QWidget *> list;
    for (const QPointer<QWidget> &window : m_order)
        if (window)
            list << window.data();
    return list;
}

QWidget *FormSession::window(const QString &name) const
{
    // A shown window of that name first (viewer windows are made anew for
    // each view), else the one of the window set.
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (widget->windowType() != Qt::Popup && widget->isVisible() && nameOf(widget) == name)
            return widget;
    for (QWidget *widget : windows())
        if (nameOf(widget) == name)
            return widget;
    return nullptr;
}

void FormSession::showAll()
{
    for (QWidget *window : windows())
        window->show();
    settle();
}

void FormSession::settle()
{
    // Deferred refreshes run on a zero timer; a few rounds let them and the
    // layout and deletion they cause run out.
    for (int round = 0; round < 8; ++round) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

void FormSession::deactivateAll()
{
    settle();
    QApplication::setActiveWindow(nullptr);
    QCoreApplication::sendPostedEvents();
}

QImage FormSession::picture(QWidget *window)
{
    return window->grab().toImage().convertToFormat(QImage::Format_ARGB32);
}

QString FormSession::nameOf(const QWidget *window)
{
    return window->objectName().isEmpty() ? QString::fromLatin1(window->metaObject()->className())
                                          : window->objectName();
}

QObject *FormSession::findIn(QWidget *window, const QString &objectName)
{
    if (!window)
        return nullptr;
    return window->findChild<QObject *>(objectName);
}

bool FormSession::press(const QString &windowName, const QString &objectName)
{
    QObject *control = findIn(window(windowName), objectName);
    if (auto *button = qobject_cast<QAbstractButton *>(control)) {
        button->click();
    } else if (auto *action = qobject_cast<QAction *>(control)) {
        action->trigger();
    } else {
        tell(QStringLiteral("qzr-form-shots: %1 has no button or action %2").arg(windowName, objectName));
        return false;
    }
    settle();
    return true;
}

QStringList FormSession::applyPropertyOverrides(const QString &overrides)
{
    QStringList failed;
    const QStringList entries = overrides.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &entry : entries) {
        // Window/Object.property=value, or Window.property=value
        const int equals = entry.indexOf(QLatin1Char('='));
        const QString target = entry.left(equals);
        const int dot = target.lastIndexOf(QLatin1Char('.'));
        if (equals < 0 || dot < 0) {
            failed << entry;
            continue;
        }
        const QString path = target.left(dot);
        const QByteArray property = target.mid(dot + 1).toLatin1();
        const QString windowName = path.section(QLatin1Char('/'), 0, 0);
        const QString objectName = path.section(QLatin1Char('/'), 1);
        QObject *object = window(windowName);
        if (object && !objectName.isEmpty())
            object = findIn(window(windowName), objectName);
        if (!object || !object->setProperty(property.constData(), entry.mid(equals + 1)))
            failed << entry;
    }
    settle();
    return failed;
}

QStringList FormSession::reports() const
{
    return m_dialogs->reports;
}

} // namespace qzr::formshots
