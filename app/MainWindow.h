#pragma once
#include "app/Startup.h"

#include <QLabel>
#include <QMainWindow>
#include <QPixmap>
#include <QTimer>
#include <functional>

class QAction;

namespace cg {

class HotKeys;

// The file dialog of the import windows: Excel workbooks, default .xlsx.
inline const QString kExcelFileFilter = QStringLiteral("Excel文件 (*.xls *.xlsx)");
inline const QString kExcelDefaultSuffix = QStringLiteral("xlsx");

// The background label: shows the picture top-left, tiled or centred.
class BackgroundLabel : public QLabel {
    Q_OBJECT
public:
    explicit BackgroundLabel(QWidget *parent = nullptr);
    void setPictureBytes(const QByteArray &bytes);
    bool hasPicture() const { return !m_pixmap.isNull(); }
    void setPlacement(PicturePlacement p);
    PicturePlacement placement() const { return m_placement; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_pixmap;
    PicturePlacement m_placement = PicturePlacement::Stretched;
};

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // The start routine, after the single-instance check. connectionStep
    // runs where the connection settings window takes over, before the
    // status bar is filled and the hot keys are registered.
    void start(const std::function<void()> &connectionStep = {});

    BackgroundLabel *background() const { return m_background; }
    QString statusPanelText(int index) const;
    void setStatusPanelText(int index, const QString &text);
    QTimer *logTimer() { return &m_logTimer; }
    QAction *menuAction(const QString &caption) const;

    // Steps of a successful login that belong to the main window.
    void showAfterLogin();
    void armLogCheck();
    // The log-size check (first tick of 时钟_日志 after login).
    void checkLogSize();
    void reloadBackground();

    static void openContractEntryChecked(QWidget *owner);
    static void runTool(bool calculator);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildStatusBar();
    void followNavigation();

    BackgroundLabel *m_background = nullptr;
    QList<QLabel *> m_panels;
    QTimer m_logTimer;
    HotKeys *m_hotKeys = nullptr;
};

} // namespace cg
