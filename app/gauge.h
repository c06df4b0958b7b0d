// The progress gauge sGauge1: a horizontal bar with the whole-number percentage centred on it.
#pragma once

#include <QWidget>

class TGauge : public QWidget {
    Q_OBJECT
  public:
    explicit TGauge(QWidget* parent = nullptr);

    int MinValue() const { return 0; }
    int MaxValue() const { return m_max; }
    int Progress() const { return m_progress; }
    // A maximum below the progress lowers the progress to it.
    void SetMaxValue(int maximum);
    // The progress is clamped into 0..maximum.
    void SetProgress(int progress);
    // "%d%%" of the current percentage.
    QString PercentText() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    int m_max = 100;
    int m_progress = 0;
};
