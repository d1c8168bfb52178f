#pragma once
#include <QWidget>

// The scene files and their image settings.
class TForm7 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm7(QWidget *parent = nullptr);
    ~TForm7() override;
};

extern TForm7 *Form7;
