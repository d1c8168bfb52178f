#pragma once
#include "image/SceneKeys.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QScrollBar;

// "Camera Video Settings": picks one of the camera's eight scene files, shows
// its image settings and writes them one by one. Created hidden; it keeps its
// values while hidden.
class TForm7 : public QWidget
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

    // The scene list and progress.
    QComboBox *ComboBox8;
    QProgressBar *ProgressBar1;
    QPushButton *Button15;
    QWidget *Panel1;
    // The image values, in the rows of the window.
    QComboBox *ComboBox1, *ComboBox2, *ComboBox3, *ComboBox4, *ComboBox5, *ComboBox6, *ComboBox7, *ComboBox9,
        *ComboBox10, *ComboBox11, *ComboBox12, *ComboBox13;
    QScrollBar *ScrollBar1, *ScrollBar2, *ScrollBar3;
    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6;
    QPushButton *Button1, *Button2, *Button3, *Button4, *Button5, *Button6, *Button7, *Button8, *Button9,
        *Button10, *Button11, *Button12, *Button13, *Button14, *Button16, *Button17, *Button18, *Button19;

private:
    // The fifteen reads of the edited scene file into the controls.
    void readBackScene();
    void showValue(qzr::image::SceneKey key, const QString &value);
    QComboBox *comboFor(qzr::image::SceneKey key) const;
    QScrollBar *scrollBarFor(qzr::image::SceneKey key) const;
    qzr::image::SetterInputs setterInputs() const;
};

extern TForm7 *Form7;
