#pragma once

#include <QDialog>
#include <QTimer>

class QPlainTextEdit;

namespace kvx {

// Shows a long text, such as the report of an exchange run. A report of a hundred thousand
// lines would keep the window from appearing for a moment while the text view takes it in
// whole: the first screens are shown at once and the rest is added while the window waits for
// the operator. The first thing the operator does in the text (a key, a click, the wheel, the
// scroll bar) takes in what is still missing first, so that selecting, copying and moving
// always see the whole text.
class FrmDisplay : public QDialog {
    Q_OBJECT
public:
    explicit FrmDisplay(QWidget* parent = nullptr);

    void setDisplayText(const QString& text);
    QString displayText() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Adds the missing text line by line for about `budgetMs`; all of it when negative.
    void addMissing(int budgetMs);

    QPlainTextEdit* m_text;
    QString m_missing; // the whole text while part of it is not yet in the view
    qsizetype m_missingFrom = 0;
    QTimer m_adding;
};

} // namespace kvx
