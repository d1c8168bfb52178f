#pragma once
#include <QWidget>

// The camera's service page in an embedded browser.
class TForm13 : public QWidget
{
    Q_OBJECT

public:
    explicit TForm13(QWidget *parent = nullptr);
    ~TForm13() override;
};

extern TForm13 *Form13;
