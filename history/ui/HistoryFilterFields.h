#pragma once

// The filters the history windows share: world, person, kind (where it applies) and a date range in UTC.

#include "history/HistoryTypes.h"

#include <QWidget>

class QComboBox;
class QLineEdit;

class HistoryFilterFields : public QWidget {
    Q_OBJECT

public:
    explicit HistoryFilterFields(bool withKind, QWidget *parent = nullptr);

    // The filter the fields describe; false with a sentence for the user when a date cannot be read.
    bool Read(HistoryFilter &filter, QString &error) const;

    QLineEdit *World() const { return world_; }
    QLineEdit *Person() const { return person_; }
    QComboBox *Kind() const { return kind_; } // null without kind
    QLineEdit *From() const { return from_; }
    QLineEdit *To() const { return to_; }

signals:
    void returnPressed(); // Enter in any of the fields

private:
    QLineEdit *world_;
    QLineEdit *person_;
    QComboBox *kind_ = nullptr;
    QLineEdit *from_;
    QLineEdit *to_;
};
