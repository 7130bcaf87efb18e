#pragma once

#include <QAbstractButton>
#include <QColor>

#include <functional>

// A patch of one colour. Clicking it (or Space while it has the focus) opens the colour chooser preset to the
// current colour; a colour picked there replaces it and is announced by colorChanged. SetColor, used to show a
// stored colour, announces nothing, so loading a dialog never looks like a user's change.
class ColorSwatch : public QAbstractButton {
    Q_OBJECT

public:
    // Returns the colour picked, or an invalid colour when the user cancelled.
    using Chooser = std::function<QColor(const QColor &current, QWidget *parent)>;

    explicit ColorSwatch(QWidget *parent = nullptr);

    QColor Color() const { return color_; }
    void SetColor(const QColor &color); // an invalid colour is ignored
    void SetChooser(Chooser chooser);   // the system colour dialog unless replaced

    QSize sizeHint() const override;

public slots:
    void ChooseColor();

signals:
    void colorChanged(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor color_ = Qt::white;
    Chooser chooser_;
};
