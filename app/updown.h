// sUpDown1: a pair of arrows attached to a text field that step its integer value within a range.
#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

class TUpDown : public QWidget {
    Q_OBJECT
  public:
    TUpDown(QLineEdit* buddy, int minimum, int maximum, int position, QWidget* parent = nullptr);

    int Position() const { return m_position; }
    // One step up (+1) or down (-1): starts from the field's value when it is an integer, else from the
    // last position; the result is clamped into the range and written as plain digits.
    void Step(int delta);
    QToolButton* UpButton() const { return m_up; }
    QToolButton* DownButton() const { return m_down; }

  private:
    QLineEdit* m_buddy;
    QToolButton* m_up;
    QToolButton* m_down;
    int m_min, m_max, m_position;
};
