#pragma once

#include <QDialog>

class QPlainTextEdit;

namespace kvx {

// Shows a long text, such as the report of an exchange run. The text view lays out only what
// is visible, so a report of a hundred thousand lines opens at once.
class FrmDisplay : public QDialog {
    Q_OBJECT
public:
    explicit FrmDisplay(QWidget* parent = nullptr);

    void setDisplayText(const QString& text);
    QString displayText() const;

private:
    QPlainTextEdit* m_text;
};

} // namespace kvx
