// The about box and the version history: one read-only text pane filling the window.
#pragma once

#include <QDialog>

class QTextBrowser;

namespace stanset {

class TTextPaneForm : public QDialog {
public:
    TTextPaneForm(const QString& caption, const QString& html, QWidget* parent = nullptr);
    QTextBrowser* Pane() const { return pane_; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QTextBrowser* pane_;
};

class TAboutForm : public TTextPaneForm {
public:
    explicit TAboutForm(QWidget* parent = nullptr);
};

class TAddingForm : public TTextPaneForm {
public:
    explicit TAddingForm(QWidget* parent = nullptr);
};

}  // namespace stanset
