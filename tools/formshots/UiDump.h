#pragma once
#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace qzr::formshots {

// A Qt Designer file of one window's widget tree as it is now.
struct UiFile
{
    QString fileName;      // the window's unit ("Unit3.ui" for TForm3 of Unit3.h), else "<class>.ui"
    QString uiClass;       // <class>: the window's own C++ class, for uic's Ui::<class>
    QByteArray contents;
    QStringList notes;     // what the file leaves out or cannot say ("Object: ...")
};

// Walks the window's widgets (children of plain QWidget, QFrame and
// QGroupBox containers, a main window's central widget, menu bar and status
// bar; other widgets are leaves) and writes, per widget, its class (the
// project's classes as custom widgets with their header), object name,
// geometry and every designable Qt property whose value differs from a
// default-constructed widget of the same Qt class; font and palette only
// as far as they were set on the widget; hidden and disabled widgets; combo
// box items; header settings of item views; menus and their actions; the
// tab order. texts the tool itself preset (the start options) are noted
// where they appear.
UiFile dumpUi(QWidget *window, const QStringList &presetTexts = {});

// The widgets dumpUi() writes inside the window (the window left out),
// in document order: what a Designer file of it holds.
QList<QWidget *> formWidgets(QWidget *window);

} // namespace qzr::formshots
