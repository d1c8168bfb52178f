#pragma once
#include <QWidget>

// Saves a camera's settings to a text file and uploads such a file.
class TForm5 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm5(QWidget *parent = nullptr);
    ~TForm5() override;
};

extern TForm5 *Form5;
