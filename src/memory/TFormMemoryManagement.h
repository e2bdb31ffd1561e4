#pragma once

#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <memory>

class Bitmap;
class DeviceLink;
class DeviceMemoryMirror;
class ImageLibrary;
class MemoryBlockGrid;
class MemoryRefresh;
class MemorySelection;
class MessageBoxes;
class QAction;
class QComboBox;
class QLabel;
class TitleList;
class TitleAttributes;

// "メモリ状態": the mixer's memory block by block in two grids, the data of
// the block picked, and the commands on it (preview, save, clear) and on the
// memory (load a title or a clip, clear everything). Created hidden with the
// main window and kept for the run; showing and closing change only its
// visibility. The device-side commands come from the main window's wiring;
// those it was not given stay disabled.
class TFormMemoryManagement : public QMainWindow
{
    Q_OBJECT

public:
    struct Services
    {
        DeviceMemoryMirror &mirror;
        MemoryRefresh &refresh;
        TitleList &list;
        MessageBoxes &boxes;
        ImageLibrary &images;
    };
    // What reaches beyond the memory: set by the main window's wiring.
    struct Hooks
    {
        // The connection (null without a mixer).
        std::function<DeviceLink *()> link;
        // A file dialog by mode (1 save title, 2 open clip, 3 save clip); empty when cancelled.
        std::function<QString(int mode)> chooseFile;
        // Saves a stored title (mode 2) or clip (mode 3) under path; the
        // files written, empty when it failed.
        std::function<QStringList(int mode, std::uint16_t memoryNo, const QString &path)> save;
        // Imports a picture file (a sequence) as a clip and stores it; true
        // with the header it was stored under and the clip's icon.
        std::function<bool(const QString &file, TitleAttributes &stored, Bitmap &icon)> loadVideo;
        // The main window's open-and-load of one title.
        std::function<void()> loadTitle;
        // The main window's property dialog for the list title stored under memoryNo.
        std::function<void(std::uint16_t memoryNo)> openTitleProperty;
    };

    TFormMemoryManagement(const Services &services, QWidget *parent = nullptr);
    ~TFormMemoryManagement() override;

    void setHooks(Hooks hooks);
    // The main grid font's scale (MemoryGridLayout::fontScale).
    void setFontScale(double scale);
    // The commands follow the connection and the selection.
    void updateCommands();

    MemorySelection &selection() { return *m_selection; }
    MemoryBlockGrid &grid(int index) { return index == 0 ? *DrawGrid1 : *DrawGrid2; }
    QComboBox &orderCombo() { return *CBoxTitleOrder; }

    // The commands, for the menus, the tool bar and the program's checks.
    void mnuFile_LoadTitleClick();
    void mnuFile_SaveTitleClick();
    void mnuFile_LoadVideoClick();
    void mnuFile_CaptureVideoClick();
    void mnuFile_CloseClick();
    void mnuOperate_PreviewClick();
    void mnuOperate_PreviewStopClick();
    void mnuOperate_ClearClick();
    void mnuOperate_ClearAllClick();
    void DrawGrid1DblClick();
    void CBoxTitleOrderChange(int comboIndex);

    QAction *mnuFile_LoadTitle;
    QAction *mnuFile_SaveTitle;
    QAction *mnuFile_LoadVideo;
    QAction *mnuFile_CaptureVideo;
    QAction *mnuFile_Close;
    QAction *mnuOperate_Preview;
    QAction *mnuOperate_PreviewStop;
    QAction *mnuOperate_Clear;
    QAction *mnuOperate_ClearAll;

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void moveEvent(QMoveEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FormCreate();
    void buildActions();
    QWidget *buildLegend();
    QWidget *buildSelectedData();
    void placeWindow();
    void applyFormat();
    void fitToGrids();
    void refillOrders();
    void showPanel();
    void blockClicked(int slotRow, int block);
    void mapApplied();
    void saveSelected(int mode);
    void remember(std::uint16_t memoryNo, const QStringList &files);

    Services m_services;
    Hooks m_hooks;
    std::unique_ptr<MemorySelection> m_selection;
    double m_fontScale = 1.0;
    bool m_placed = false;
    bool m_shownPal = false;
    MemoryBlockGrid *DrawGrid1 = nullptr;
    MemoryBlockGrid *DrawGrid2 = nullptr;
    QLabel *LabelSignal = nullptr;
    QLabel *LabelAspect = nullptr;
    QLabel *ImageIcon = nullptr;
    QComboBox *CBoxTitleOrder = nullptr;
    QLabel *LabelName = nullptr;
    QLabel *LabelType = nullptr;
    QLabel *LabelFrameCount = nullptr;
    QLabel *LabelDivide = nullptr;
};
