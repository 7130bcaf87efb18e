#pragma once

#include <QLabel>

// A label that says what is wrong, in red: a dark red on a light window, a light red on a dark one, so that it reads
// whatever the desktop's colours.
class WarningLabel : public QLabel {
public:
    explicit WarningLabel(QWidget *parent = nullptr);

protected:
    void changeEvent(QEvent *event) override;

private:
    void ApplyColour();
    bool applying_ = false;
};
