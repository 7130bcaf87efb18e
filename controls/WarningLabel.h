#pragma once

#include <QLabel>

// A label that says what is wrong, in red: a dark red on a light window, a light red on a dark one, so that it reads
// whatever the desktop's colours.
class WarningLabel : public QLabel {
public:
    explicit WarningLabel(QWidget *parent = nullptr);

    // Off: the label says something plain, in the window's own text colour.
    void SetWarning(bool warning);

protected:
    void changeEvent(QEvent *event) override;

private:
    void ApplyColour();
    bool warning_ = true;
    bool applying_ = false;
};
