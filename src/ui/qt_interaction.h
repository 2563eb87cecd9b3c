// The person at the PC, for the windowed program: message boxes, the progress bar of the
// panel that runs a transfer, and the clock window.
#pragma once

#include <QPointer>
#include <QProgressBar>
#include <QWidget>
#include <memory>

#include "engine/user_interaction.h"


namespace stanset {

struct TDataStream;

class TQtInteraction : public TUserInteraction {
public:
    explicit TQtInteraction(QWidget* parent = nullptr) : parent_(parent) {}

    void Message(const std::string& text, const std::string& caption) override;
    bool Ask(const std::string& text, const std::string& caption) override;
    // Moves the bar of the transfer under way and repaints it; the window takes no input
    // meanwhile.
    void Progress(int position, int maximum) override;
    void OpenClockWindow(TMainClass& engine) override;

    void SetParent(QWidget* parent) { parent_ = parent; }
    // The bar Progress moves; null: none.
    void SetProgressBar(QProgressBar* bar) { bar_ = bar; }
    // The model the clock window is opened on.
    void SetModel(std::shared_ptr<TDataStream> data) { data_ = std::move(data); }

protected:
    QWidget* Parent() const { return parent_; }
    const std::shared_ptr<TDataStream>& Model() const { return data_; }

private:
    QPointer<QWidget> parent_;
    QPointer<QProgressBar> bar_;
    std::shared_ptr<TDataStream> data_;
};

}  // namespace stanset
