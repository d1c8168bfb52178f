#pragma once
#include "image/SceneKeys.h"

#include <QWidget>

#include "ui_Unit7.h"

// "Camera Video Settings": picks one of the camera's eight scene files, shows
// its image settings and writes them one by one. Created hidden; it keeps its
// values while hidden.
class TForm7 : public QWidget, public Ui::TForm7
{
    Q_OBJECT

public:
    explicit TForm7(QWidget *parent = nullptr);
    ~TForm7() override;

    // The main window's "Camera Video Settings": opens on the scene file the
    // camera is using, without switching it.
    void openFromMainWindow();
    // A scene file chosen in the list (by its position): the camera is
    // switched to it and its values are read back.
    void ComboBox8Change(int position);
    // The refresh ("ComboboxClick", pressed only in code): reads the stored
    // scene file's values without switching the camera.
    void Button15Click();
    // "Initialize Scene File ( Load Factory default )".
    void Button16Click();
    // "Select as Active Scene File".
    void Button17Click();
    // "Set to Scene File": the thirteen setters in a row, no AVP.
    void Button8Click();
    // One setter button, as if it had been pressed.
    void runSetter(qzr::image::Setter setter);

    // Unit7.ui holds the controls: the scene list ComboBox8, ProgressBar1,
    // the hidden refresh trigger Button15, and Panel1 (hidden until a scene
    // file is chosen) with the image values in rows: ComboBox1..ComboBox13
    // and ScrollBar1..ScrollBar3, each with its setter button, the side
    // labels Label1..Label6, and Button8, Button16, Button17.

private:
    // The fifteen reads of the edited scene file into the controls.
    void readBackScene();
    void showValue(qzr::image::SceneKey key, const QString &value);
    QComboBox *comboFor(qzr::image::SceneKey key) const;
    QScrollBar *scrollBarFor(qzr::image::SceneKey key) const;
    qzr::image::SetterInputs setterInputs() const;
};

extern TForm7 *Form7;
