#include "resources/MessageTexts.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string_view>

using namespace std::string_view_literals;

namespace {
// The Japanese texts are the program's own wording, shown and compared as they
// stand: they must stay byte-exact (full-width signs, blanks, line breaks and
// the printf fields included). The English texts carry the same fields in the
// same order. Ids without a text are not part of the table. The file-dialog
// filters (154, 155) hold display text and pattern separated by a NUL.
constexpr MessageText kMessages[] = {
    {1, "エラー", "Error"},
    {2, "Mark設定", "Mark Setting"},
    {3, "タイトル削除の確認", "Confirm Title Deletion"},
    {4, "初期化の確認", "Confirm Reset"},
    {5, "メモリクリアの確認", "Confirm Memory Clear"},
    {6, "メモリ設定変更の確認", "Confirm Memory Setting Change"},
    {7, "上書きの確認", "Confirm Overwrite"},
    {8, "終了の確認", "Confirm Exit"},
    {9, "前回のプロパティ使用の選択", "Use Previous Properties"},
    {10, "前回のプロパティクリアの確認", "Confirm Clearing Previous Properties"},
    {11, "リスト保存の確認", "Confirm Saving the List"},
    {13, "プロパティ", "Properties"},
    {14, "タイトルの転送", "Title Transfer"},
    {15, "IntVideoの転送", "IntVideo Transfer"},
    {16, "タイトルの保存", "Save Title"},
    {17, "IntVideoの保存", "Save IntVideo"},
    {18, "メモリ設定変更の通知", "Memory Setting Changed"},
    {19, "%d個のデータ", "%d items"},
    {20, "（変更あり）", " (modified)"},
    {21, "ON  開始待ち", "ON  Waiting"},
    {22, "ON  動作中", "ON  Running"},
    {23, "表示中", "Showing"},
    {24, "OFF  開始待ち", "OFF  Waiting"},
    {25, "OFF  動作中", "OFF  Running"},
    {26, "終了", "Ended"},
    {27, "データ転送待ち", "Waiting for data transfer"},
    {28, "メモリ確保中", "Allocating memory"},
    {29, "転送中  %d%", "Transferring  %d%"},
    {30, "なし", "None"},
    {31, "元に戻す(&U)", "&Undo"},
    {32, "やり直し(&R)", "&Redo"},
    {34, "追加", "Add"},
    {35, "削除", "Delete"},
    {36, "切り取り", "Cut"},
    {37, "コピー", "Copy"},
    {38, "貼り付け", "Paste"},
    {39, "並び替え", "Sort"},
    {40, "設定データの読み込み", "Read Setup Data"},
    {41, "設定データの書き込み", "Write Setup Data"},
    {42, "STILL", "STILL"},
    {43, "MOVIE", "MOVIE"},
    {44, "MOVIE O", "MOVIE O"},
    {45, "MOVIE ONCE", "MOVIE ONCE"},
    {46, "MOVIE R", "MOVIE R"},
    {47, "MOVIE REPEAT", "MOVIE REPEAT"},
    {48, "ROLL", "ROLL"},
    {49, "ROLL U", "ROLL U"},
    {50, "ROLL UP", "ROLL UP"},
    {51, "ROLL D", "ROLL D"},
    {52, "ROLL DOWN", "ROLL DOWN"},
    {53, "CRAWL", "CRAWL"},
    {54, "CRAWL L", "CRAWL L"},
    {55, "CRAWL LEFT", "CRAWL LEFT"},
    {56, "CRAWL R", "CRAWL R"},
    {57, "CRAWL RIGHT", "CRAWL RIGHT"},
    {58, "DISS", "DISS"},
    {59, "New List", "New List"},
    {60, "Order", "Order"},
    {61, "O", "O"},
    {62, "D,F", "D,F"},
    {63, "D", "D"},
    {64, "F", "F"},
    {65, "ICON", "ICON"},
    {66, "ON", "ON"},
    {67, "TYPE", "TYPE"},
    {68, "OFF", "OFF"},
    {69, "NAME/COMMENT", "NAME/COMMENT"},
    {70, "NAME", "NAME"},
    {80, "このバージョンのWindowsでは実行できません",
     "The program cannot run on this version of the operating system."},
    {81, "このプログラムは既に実行中です", "This program is already running."},
    {85, "デバイスイベントの登録ができませんでした", "Device events could not be registered."},
    {86, "ファイル[ %s ] または連番ファイルの一部が存在しません。データを破棄します。",
     "The file [ %s ] or part of its numbered sequence does not exist. The data is discarded."},
    {87, "指定されたファイルは存在しません。ファイル名を確認してください。",
     "The specified file does not exist. Check the file name."},
    {88, "履歴のデータが壊れているため、設定を使用できません。デフォルトの設定を使用します。",
     "The history data is damaged and cannot be used. The default settings will be used."},
    {89, "指定されたファイルは壊れているため、読み込みを行えません。処理を中止します。",
     "The specified file is damaged and cannot be read. The operation has been stopped."},
    {90, "ファイルを削除できません", "The file cannot be deleted."},
    {91, "ファイルをオープンできません", "The file cannot be opened."},
    {100, "接続中", "Connected"},
    {101, "未接続", "Not connected"},
    {102, "Mark%dはOrder%dのタイトルに設定されています。設定を置き換えてもよろしいですか？",
     "Mark%d is set on the title of Order%d. Do you want to replace this setting?"},
    {103, "選択したタイトルを削除してよろしいですか？", "Delete the selected titles?"},
    {104, "設定を初期化してよろしいですか？", "Reset the settings to their initial values?"},
    {105,
     "登録可能なタイトル数の上限を超えるため、タイトルを追加できません。不要なタイトルを削除してく"
     "ださい。",
     "The title cannot be added because the maximum number of titles would be exceeded. Delete "
     "titles you no longer need."},
    {106,
     "本体の空きメモリが不足しているため、画像を転送できません。不要なデータを削除してください。",
     "The image cannot be transferred because the mixer does not have enough free memory. Delete "
     "data you no longer need."},
    {107, "Order%dのタイトルを転送しています...     %d / %d",
     "Transferring the title of Order%d...     %d / %d"},
    {108, "IntVideoデータを転送しています...     %d / %d",
     "Transferring IntVideo data...     %d / %d"},
    {109, "タイトルを保存しています...     %d / %d", "Saving the title...     %d / %d"},
    {110, "IntVideoデータを保存しています...     %d / %d", "Saving IntVideo data...     %d / %d"},
    {111,
     "選択したタイトルをメモリからクリアしてよろしいですか？\n（保護設定されたデータは残ります）",
     "Clear the selected titles from memory?\n(Protected data is kept.)"},
    {112,
     "選択したタイトルをメモリからクリアしてよろしいですか？\n（保護設定されたデータもクリアされま"
     "す）",
     "Clear the selected title from memory?\n(Protected data is cleared too.)"},
    {113, "選択したUnknownデータをメモリからクリアしてよろしいですか？",
     "Clear the selected Unknown data from memory?"},
    {114, "選択したIntVideoデータをメモリからクリアしてよろしいですか？",
     "Clear the selected IntVideo data from memory?"},
    {115,
     "全てのタイトルをメモリからクリアしてよろしいですか？\n（保護設定されたデータは残ります）",
     "Clear all titles from memory?\n(Protected data is kept.)"},
    {117, "本体のメモリを全てクリアしてよろしいですか？\n（保護設定されたデータもクリアされます）",
     "Clear the whole memory of the mixer?\n(Protected data is cleared too.)"},
    {118, "本体のメモリ設定を変更してよろしいですか？", "Change the memory setting of the mixer?"},
    {119, "（現在の送出リストを閉じて新規のリストを作成します）",
     "\n(The current send list will be closed and a new list created.)"},
    {120, "（メモリにあるデータは全てクリアされます）", "\n(All data in memory will be cleared.)"},
    {121,
     "画像のサイズが統一されていないため、読み込みを続けることができません。連番画像のサイズを統一"
     "してください。",
     "Loading cannot continue because the pictures differ in size. Give all pictures of the "
     "numbered sequence the same size."},
    {122, "画像ファイル [ %s ] が見つかりません。ファイルが移動または削除された可能性があります。",
     "The picture file [ %s ] was not found. It may have been moved or deleted."},
    {123, "PCのリソースが不足しているため処理を実行できません。アプリケーションを終了します。",
     "The operation cannot be carried out because the PC is short of resources. The application "
     "will now exit."},
    {124, "ファイル [ %s ] はすでに存在します。上書きしてよろしいですか？",
     "The file [ %s ] already exists. Overwrite it?"},
    {125,
     "ファイル [ %s ] "
     "はすでに存在します。上書きしてよろしいですか？（以降のファイルはすべて上書きされます）",
     "The file [ %s ] already exists. Overwrite it? (All following files will be overwritten as "
     "well.)"},
    {126, "アプリケーションを終了してよろしいですか？", "Quit the application?"},
    {127, "このファイルの前回のプロパティを使用しますか？",
     "Use the previous properties of this file?"},
    {128, "前回のプロパティをクリアしてよろしいですか？", "Clear the previous properties?"},
    {129, "現在のリストは変更されています。保存しますか？",
     "The current list has been modified. Save it?"},
    {130, "本体のビデオフォーマットが変更されました。リストを全てクリアします。",
     "The video format of the mixer has changed. The whole list will be cleared."},
    {131, "本体のメモリ割り当て数が変更されました。メモリは全てクリアされます。",
     "The memory allocation of the mixer has changed. All memory will be cleared."},
    {133,
     "本体が設定変更中のため、処理を行うことができません。\n液晶の「Loading..."
     "」表示が消えてからやりなおしてください。",
     "The mixer is changing its settings and cannot carry out the operation.\nTry again once "
     "\"Loading...\" has disappeared from its display."},
    {134,
     "本体が転送不可状態にあるため、転送を行うことができません。\n時間を置いてやりなおしてください"
     "。",
     "The mixer cannot accept a transfer now.\nWait a moment and try again."},
    {135, "メモリが確保できないため、自動ロードを中止します。",
     "Auto-load is stopped because memory cannot be allocated."},
    {136, "DSK実行中のため、処理を実行できません。DSK終了後にやり直してください。",
     "The operation cannot be carried out while the DSK is running. Try again after the DSK has "
     "finished."},
    {137, "設定データの読み込みが完了しました。", "Reading the setup data is complete."},
    {138, "設定データの書き込みが完了しました。\n\nKL-VT90の電源を入れなおしてください。",
     "Writing the setup data is complete.\n\nSwitch the KL-VT90 off and on again."},
    {139, "設定データが不正なため、処理を中止します。",
     "The setup data is invalid. The operation has been stopped."},
    // Picture filters: the program names the formats itself.
    {150,
     "全ての対応画像 (*.tga;*.bmp;*.jpg;*.tif;*.pct;*.pic;*.psd;*.pcd)\0*.tga;*.bmp;*.jpg;*.tif;*.pct;*.pic;*.psd;*.pcd"sv,
     "All supported pictures (*.tga;*.bmp;*.jpg;*.tif;*.pct;*.pic;*.psd;*.pcd)\0*.tga;*.bmp;*.jpg;*.tif;*.pct;*.pic;*.psd;*.pcd"sv},
    {151,
     "TARGA (*.tga)\0*.tga\0BMP (*.bmp)\0*.bmp\0JPEG (*.jpg)\0*.jpg\0TIFF (*.tif)\0*.tif\0PICT (*.pct;*.pic)\0*.pct;*.pic\0Photoshop (*.psd)\0*.psd\0Photo CD (*.pcd)\0*.pcd"sv,
     "TARGA (*.tga)\0*.tga\0BMP (*.bmp)\0*.bmp\0JPEG (*.jpg)\0*.jpg\0TIFF (*.tif)\0*.tif\0PICT (*.pct;*.pic)\0*.pct;*.pic\0Photoshop (*.psd)\0*.psd\0Photo CD (*.pcd)\0*.pcd"sv},
    {152, "TARGA (*.tga)\0*.tga\0TIFF (*.tif)\0*.tif"sv,
     "TARGA (*.tga)\0*.tga\0TIFF (*.tif)\0*.tif"sv},
    {153,
     "TARGA (*.tga)\0*.tga\0BMP (*.bmp)\0*.bmp\0JPEG (*.jpg)\0*.jpg\0TIFF (*.tif)\0*.tif\0PICT (*.pct)\0*.pct"sv,
     "TARGA (*.tga)\0*.tga\0BMP (*.bmp)\0*.bmp\0JPEG (*.jpg)\0*.jpg\0TIFF (*.tif)\0*.tif\0PICT (*.pct)\0*.pct"sv},
    {154, "リストファイル (*.vtl)\0*.vtl"sv, "List files (*.vtl)\0*.vtl"sv},
    {155, "設定ファイル (*.vts)\0*.vts"sv, "Setup files (*.vts)\0*.vts"sv},
    // Messages of this program beyond the original table.
    {156,
     "ファイル名 [ %s ] はリストファイルに保存できません（パスが長すぎるか、使用できない文字が含まれています）。"sv,
     "The file name [ %s ] cannot be kept in a list file (the path is too long or holds characters that cannot be stored)."sv},
};

// Window captions: menu items (with their accelerators), tool bar hints, buttons,
// labels, group boxes, tab pages and window titles, sorted by their UTF-8 bytes.
constexpr CaptionText kCaptions[] = {
    {"10だけ前へ", "Back 10"},
    {"10だけ前へ(&R)", "P&revious 10"},
    {"10だけ次へ", "Forward 10"},
    {"10だけ次へ(&E)", "N&ext 10"},
    {"Commentで並び替え(&C)", "Sort by &Comment"},
    {"DSK中のタイトルへ(&D)", "To the &DSK Title"},
    {"ICON表示(&I)", "&Icon View"},
    {"Icon用フレーム", "Icon frame"},
    {"IntVideoフォルダ", "IntVideo folder"},
    {"LIST表示(&L)", "&List View"},
    {"Markタイトルへ(&M)", "To a &Mark Title"},
    {"Nameで並び替え(&N)", "Sort by &Name"},
    {"Titleフォルダ", "Title folder"},
    {"USB情報", "USB Information"},
    {"USB情報(&U)...", "&USB Information..."},
    {"Videoをロード", "Load Video"},
    {"Videoをロード(&O)...", "L&oad Video..."},
    {"Videoを保存", "Save Video"},
    {"Videoを保存(&C)...", "Save Video &Clip..."},
    {"すべて選択(&A)", "Select &All"},
    {"やり直し(&R)", "&Redo"},
    {"エンドレス再生", "Endless play"},
    {"カーソル", "Cursor"},
    {"カーソル(&C)", "&Cursor"},
    {"キャンセル", "Cancel"},
    {"コピー(&C)", "&Copy"},
    {"タイトルのロード", "Load Titles"},
    {"タイトルのロード(&L)", "&Load Titles"},
    {"タイトルの自動ロード", "Auto-Load Titles"},
    {"タイトルの自動ロード(&T)", "Auto-Load &Titles"},
    {"タイトルをロード", "Load Title"},
    {"タイトルをロード(&L)...", "&Load Title..."},
    {"タイトルを保存", "Save Title"},
    {"タイトルを保存(&S)...", "&Save Title..."},
    {"ツール(&T)", "&Tools"},
    {"データの保存先", "Data Locations"},
    {"バージョン情報", "About TitleDeck"},
    {"バージョン情報(&A)...", "&About TitleDeck..."},
    {"ビデオのYレベル", "Video Y Level"},
    {"ファイル(&F)", "&File"},
    {"フォルダ", "Folders"},
    {"フラッシュメモリの書き込み(&W)...", "&Write Flash Memory..."},
    {"フラッシュメモリの読み出し(&E)...", "R&ead Flash Memory..."},
    {"フレーム数", "Frames"},
    {"プレビュー", "Preview"},
    {"プレビュー(&P)", "&Preview"},
    {"プロパティ", "Properties"},
    {"プロパティ(&R)", "P&roperties"},
    {"プロパティ(&R)...", "P&roperties..."},
    {"プロパティ初期値設定", "Default Properties"},
    {"プロパティ初期値設定(&P)...", "Default &Properties..."},
    {"ヘルプ", "Help"},
    {"ヘルプ(&H)", "&Help"},
    {"メモリ状態", "Memory Status"},
    {"メモリ状態(&M)...", "&Memory Status..."},
    {"メモリ管理", "Memory Management"},
    {"リストに名前を付けて保存(&A)...", "Save List &As..."},
    {"リストの上書き保存", "Save List"},
    {"リストの上書き保存(&S)", "&Save List"},
    {"リストの新規作成", "New List"},
    {"リストの新規作成(&N)", "&New List"},
    {"リストを開く", "Open List"},
    {"リストを開く(&L)...", "Open &List..."},
    {"リストフォルダ", "List folder"},
    {"一時停止", "Pause"},
    {"一時停止(&A)", "P&ause"},
    {"使用したファイルの操作", "Files Used Before"},
    {"保護データもクリア", "Clear protected data too"},
    {"停止", "Stop"},
    {"停止(&S)", "&Stop"},
    {"元に戻す(&U)", "&Undo"},
    {"先頭へ", "First Title"},
    {"先頭へ(&T)", "To &Top"},
    {"全タイトルのクリア", "Clear All Titles"},
    {"全タイトルのクリア(&R)", "Clea&r All Titles"},
    {"全領域のクリア", "Clear All Areas"},
    {"全領域のクリア(&A)", "Clear &All Areas"},
    {"再生", "Play"},
    {"再生(&P)", "&Play"},
    {"再生終了後カーソルを次のデータへ移動", "Move the cursor to the next title after playback"},
    {"処理状況", "Progress"},
    {"切り取り(&T)", "Cu&t"},
    {"初期値に戻す", "Restore Defaults"},
    {"削除(&D)", "&Delete"},
    {"前へ", "Previous"},
    {"前へ(&P)", "&Previous"},
    {"前回のプロパティをクリア", "Clear Previous Properties"},
    {"前回のプロパティを使用しない", "Never use the previous properties"},
    {"前回のプロパティを使用するか選択する", "Ask whether to use the previous properties"},
    {"動作環境", "Environment"},
    {"動作環境(&E)...", "&Environment..."},
    {"参照...", "Browse..."},
    {"変換", "Conversion"},
    {"常に前回のプロパティを使用する", "Always use the previous properties"},
    {"指定領域のクリア", "Clear Selected Area"},
    {"指定領域のクリア(&C)", "&Clear Selected Area"},
    {"操作", "Operation"},
    {"操作(&O)", "&Operate"},
    {"昇順(&U)", "&Ascending"},
    {"最後へ", "Last Title"},
    {"最後へ(&B)", "To &Bottom"},
    {"本体情報", "Mixer Information"},
    {"本体情報(&M)...", "&Mixer Information..."},
    {"本体接続時にメモリをクリア", "Clear memory when the mixer connects"},
    {"本体設定", "Mixer Settings"},
    {"本体設定(&S)...", "Mixer &Settings..."},
    {"次へ", "Next"},
    {"次へ(&N)", "&Next"},
    {"状態", "Status"},
    {"画像の表示", "Image Display"},
    {"画像の表示(&I)", "Show &Image"},
    {"画像の読み込み", "Load Image"},
    {"画像を開く", "Open Image"},
    {"画像を開く(&O)", "&Open Image"},
    {"画像を開く(&O)...", "&Open Image..."},
    {"終了(&X)", "E&xit"},
    {"終了時に確認する", "Confirm before exiting"},
    {"編集(&E)", "&Edit"},
    {"自動ロード", "Auto-Load"},
    {"表示(&V)", "&View"},
    {"設定反映", "Apply"},
    {"貼り付け(&P)", "&Paste"},
    {"起動と終了", "Start and Exit"},
    {"起動時に最新のリストを開く", "Open the last list at start"},
    {"転送", "Transfer"},
    {"選択されているデータ", "Selected Data"},
    {"選択タイトルのクリア", "Clear Selected Titles"},
    {"選択タイトルのクリア(&C)", "&Clear Selected Titles"},
    {"閉じる", "Close"},
    {"閉じる(&X)", "Clos&e"},
    {"降順(&D)", "&Descending"},
};

} // namespace

namespace MessageTexts {

const MessageText *find(int id)
{
    const auto it = std::lower_bound(std::begin(kMessages), std::end(kMessages), id,
                                     [](const MessageText &m, int key) { return m.id < key; });
    if (it == std::end(kMessages) || it->id != id)
        return nullptr;
    return it;
}

const MessageText *all(int *count)
{
    if (count)
        *count = int(std::size(kMessages));
    return kMessages;
}

const char *captionEnglish(const QByteArray &japaneseUtf8)
{
    const char *key = japaneseUtf8.constData();
    const auto it = std::lower_bound(
        std::begin(kCaptions), std::end(kCaptions), key,
        [](const CaptionText &c, const char *k) { return std::strcmp(c.japanese, k) < 0; });
    if (it == std::end(kCaptions) || std::strcmp(it->japanese, key) != 0)
        return nullptr;
    // A key with an embedded NUL is not a caption.
    if (japaneseUtf8.size() != qsizetype(std::strlen(it->japanese)))
        return nullptr;
    return it->english;
}

const CaptionText *allCaptions(int *count)
{
    if (count)
        *count = int(std::size(kCaptions));
    return kCaptions;
}

} // namespace MessageTexts
