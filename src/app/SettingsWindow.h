// SettingsWindow: the top-level window that holds the settings page.
#pragma once

#include "app/SettingsView.h"

#include <QWidget>

namespace panemaker {

class SettingsWindow final : public QWidget {
    Q_OBJECT

public:
    // Takes the view; the window is as large as the design's page and cannot be resized.
    explicit SettingsWindow(SettingsView *view, QWidget *parent = nullptr);

    SettingsView &view() { return *m_view; }

Q_SIGNALS:
    // The window was closed (or minimised, which closes it); its owner deletes it.
    void closed();

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    SettingsView *m_view;
};

} // namespace panemaker
