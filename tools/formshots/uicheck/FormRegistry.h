#pragma once
#include <QString>
#include <QWidget>

#include <functional>
#include <vector>

// The windows made from Designer files, as CMake found the files.
struct MadeForm
{
    QString windowName;                  // the name of the file's top widget: the real window's
    QString file;                        // "Unit3.ui"
    std::function<QWidget *()> make;     // a new top-level widget with setupUi() applied
};

const std::vector<MadeForm> &madeForms();
