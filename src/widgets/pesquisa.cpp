#include "widgets/pesquisa.h"

#include "platform/client_data_set.h"
#include "routines/sibling.h"
#include "routines/utility.h"
#include "widgets/blended.h"
#include "widgets/dialog_support.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QScrollBar>
#include <QScroller>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>

namespace cadcons {

namespace {

// Sizes for a finger on a touch terminal.
constexpr QSize kDialogSize(720, 600);
constexpr int kRowHeight = 44;
constexpr int kCellFontPx = 18;
constexpr int kHeaderFontPx = 16;
constexpr int kKeyHeight = 46;
constexpr int kActionWidth = 172;
constexpr int kSearchHeight = 52;
constexpr int kMaxSearchLength = 60;
constexpr int kCellPadding = 8; // each side of a cell's text

// Stands between the texts of a row's columns in its search key; no typed text holds it, so a match
// never runs from one column (or row) into the next.
constexpr QChar kSeparator(0x1F);

// Below the combining marks no character composes with its neighbour, so RemoveAcentos and toUpper
// may be taken a character at a time, from a table they filled; the rest goes through them whole.
constexpr char16_t kFirstMark = 0x300;

QString fold(const QString& text) {
    static const std::vector<QString> table = [] {
        std::vector<QString> t(kFirstMark);
        for (char16_t u = 0; u < kFirstMark; ++u)
            t[u] = RemoveAcentos(QString(QChar(u))).toUpper();
        return t;
    }();
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= kFirstMark)
            return RemoveAcentos(text).toUpper();
        if (u < 0x80)
            out += (u >= u'a' && u <= u'z') ? QChar(u - 0x20) : c;
        else
            out += table[u];
    }
    return out;
}

QString foldNeedle(const QString& text) {
    QString needle = fold(text);
    needle.removeIf([](QChar c) { return c.unicode() < 0x20; });
    return needle.trimmed().isEmpty() ? QString() : needle;
}

// Building the model walks the dataset; afterwards it is back on its row, with its end-of-data state.
class PositionKeeper {
public:
    explicit PositionKeeper(ClientDataSet& dataset)
        : dataset_(dataset)
        , recNo_(dataset.recNo())
        , eof_(dataset.eof()) {}
    ~PositionKeeper() {
        const int count = dataset_.recordCount();
        if (recNo_ < 0 || recNo_ >= count)
            return;
        dataset_.setRecNo(recNo_);
        if (eof_ && recNo_ == count - 1)
            dataset_.next(); // past the last row again, as before
    }
    PositionKeeper(const PositionKeeper&) = delete;
    PositionKeeper& operator=(const PositionKeeper&) = delete;

private:
    ClientDataSet& dataset_;
    int recNo_;
    bool eof_;
};

QPixmap magnifier() {
    QPixmap pm(28, 28);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(120, 134, 150), 3, Qt::SolidLine, Qt::RoundCap));
    p.drawEllipse(QRectF(4, 4, 14, 14));
    p.drawLine(QPointF(16.5, 16.5), QPointF(24, 24));
    return pm;
}

const QString kViewStyle =
    QStringLiteral(
        "QTableView { background: white; alternate-background-color: #F1F4F8; border: 1px solid #C9D3DF;"
        " selection-background-color: #1565C0; selection-color: white; outline: 0; }"
        "QTableView::item { padding: 0 %2px; border: none; }"
        "QHeaderView::section { background: #E3EAF3; color: #212121; font: bold %1px; padding: 0 %2px;"
        " border: none; border-right: 1px solid #C9D3DF; border-bottom: 1px solid #C9D3DF; height: 38px; }"
        "QScrollBar:vertical { background: #EEF1F5; width: 28px; margin: 0; }"
        "QScrollBar::handle:vertical { background: #9AA8B8; min-height: 56px; border-radius: 7px; margin: 4px; }"
        "QScrollBar:horizontal { background: #EEF1F5; height: 28px; margin: 0; }"
        "QScrollBar::handle:horizontal { background: #9AA8B8; min-width: 56px; border-radius: 7px; margin: 4px; }"
        "QScrollBar::add-line, QScrollBar::sub-line { width: 0; height: 0; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: none; }")
        .arg(kHeaderFontPx)
        .arg(kCellPadding);

// The list; says so when there is nothing to show, rather than leaving a blank box.
class PesquisaView : public QTableView {
public:
    using QTableView::QTableView;

protected:
    void paintEvent(QPaintEvent* e) override {
        QTableView::paintEvent(e);
        const auto* m = qobject_cast<const PesquisaModel*>(model());
        if (!m || m->rowCount() > 0)
            return;
        QPainter p(viewport());
        QFont f = font();
        f.setPixelSize(kCellFontPx);
        p.setFont(f);
        p.setPen(QColor(120, 120, 120));
        p.drawText(viewport()->rect(), Qt::AlignCenter,
                   m->totalRows() == 0 ? QCoreApplication::translate("Pesquisa", "Nenhum registro")
                                       : QCoreApplication::translate("Pesquisa", "Nenhum registro encontrado"));
    }
};

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// PesquisaModel

PesquisaModel::PesquisaModel(ClientDataSet& dataset, QObject* parent)
    : QAbstractTableModel(parent) {
    QStringList fields;
    for (const FieldDef& f : dataset.data().fields) {
        const FieldDisplay d = dataset.display(f.name);
        if (!d.visible)
            continue;
        fields << f.name;
        labels_ << d.label;
        widths_ << d.width;
    }
    columns_ = static_cast<int>(fields.size());

    std::vector<int> all;
    if (columns_ > 0 && dataset.recordCount() > 0) {
        const int rows = dataset.recordCount();
        PositionKeeper keep(dataset);
        cells_.reserve(std::size_t(rows) * columns_);
        keyStart_.reserve(rows + 1);
        all.reserve(rows);
        QString key;
        for (int r = 0; r < rows; ++r) {
            // A GetText handler reads the current row, so the dataset has to stand on each row in turn.
            dataset.setRecNo(r);
            key.clear();
            for (const QString& field : fields) {
                cells_.push_back(dataset.displayText(field));
                key += cells_.back();
                key += kSeparator;
            }
            keyStart_.push_back(keys_.size());
            keys_ += fold(key);
            all.push_back(r);
        }
        keyStart_.push_back(keys_.size());
        rowCount_ = rows;
    }
    history_.push_back({QString(), std::move(all)});
}

int PesquisaModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(history_.back().rows.size());
}

int PesquisaModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : columns_;
}

QVariant PesquisaModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columns_)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return cells_[std::size_t(history_.back().rows[index.row()]) * columns_ + index.column()];
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    default:
        return {};
    }
}

QVariant PesquisaModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_)
        return {};
    if (role == Qt::DisplayRole)
        return labels_[section];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignLeft | Qt::AlignVCenter);
    return {};
}

void PesquisaModel::setSearchText(const QString& text) {
    searchText_ = text;
    const QString needle = foldNeedle(text);
    if (needle == history_.back().needle)
        return;

    beginResetModel();
    // Back to the widest kept result that the new text narrows.
    while (history_.size() > 1 && !needle.startsWith(history_.back().needle))
        history_.pop_back();
    if (needle != history_.back().needle) {
        std::vector<int> rows;
        const QStringView keys(keys_);
        if (history_.size() == 1) {
            // From every row: one pass over all keys, jumping to the next row after each hit.
            qsizetype from = 0;
            for (;;) {
                const qsizetype at = keys.indexOf(needle, from);
                if (at < 0)
                    break;
                const auto next = std::upper_bound(keyStart_.cbegin(), keyStart_.cend(), at);
                rows.push_back(static_cast<int>(next - keyStart_.cbegin()) - 1);
                from = *next;
            }
        } else {
            const std::vector<int>& base = history_.back().rows;
            rows.reserve(base.size());
            for (const int r : base) {
                if (keys.sliced(keyStart_[r], keyStart_[r + 1] - keyStart_[r]).contains(needle))
                    rows.push_back(r);
            }
        }
        history_.push_back({needle, std::move(rows)});
    }
    endResetModel();
}

int PesquisaModel::visibleIndexOf(int row) const {
    const std::vector<int>& rows = history_.back().rows;
    return row >= 0 && std::size_t(row) < rows.size() ? rows[row] : -1;
}

int PesquisaModel::rowOfVisibleIndex(int visibleIndex) const {
    const std::vector<int>& rows = history_.back().rows;
    const auto it = std::lower_bound(rows.cbegin(), rows.cend(), visibleIndex);
    return it != rows.cend() && *it == visibleIndex ? static_cast<int>(it - rows.cbegin()) : -1;
}

// ---------------------------------------------------------------------------------------------------------------
// PesquisaDialog

PesquisaDialog::PesquisaDialog(ClientDataSet& dataset, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setModal(true);
    setObjectName(QStringLiteral("pesquisaDialog"));
    setWindowTitle(QCoreApplication::translate("Pesquisa", "Pesquisa"));
    // The dialog takes the keys itself; no child may hold the focus and swallow Enter, Escape or typing.
    setFocusPolicy(Qt::StrongFocus);

    model_ = new PesquisaModel(dataset, this);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(kDialogBorder, kDialogBorder, kDialogBorder, kDialogBorder);
    outer->setSpacing(0);

    count_ = new QLabel(this);
    count_->setObjectName(QStringLiteral("pesquisaContagem"));
    QFont cf = count_->font();
    cf.setPixelSize(17);
    count_->setFont(cf);
    addTitleStrip(this, outer, QStringLiteral("Pesquisa"), count_)->setObjectName(QStringLiteral("pesquisaTitulo"));

    auto* body = new QVBoxLayout;
    body->setContentsMargins(12, 12, 12, 12);
    body->setSpacing(8);
    outer->addLayout(body, 1);

    body->addLayout(buildSearchRow());

    buildView();
    body->addWidget(view_, 1);
    body->addWidget(buildKeyboard());

    setDialogSize(this, parent, kDialogSize);

    const int start = model_->rowOfVisibleIndex(dataset.recNo());
    highlight(start >= 0 ? start : 0);
    updateCount();
}

// The search text, read-only and fed by the dialog's own keys, with its erase and clear keys.
QHBoxLayout* PesquisaDialog::buildSearchRow() {
    auto* searchRow = new QHBoxLayout;
    searchRow->setSpacing(6);
    line_ = new QLineEdit(this);
    line_->setObjectName(QStringLiteral("pesquisaTexto"));
    line_->setReadOnly(true);
    line_->setFocusPolicy(Qt::NoFocus);
    // Only the dialog writes here: a touch on the line must not select, drag or open a menu.
    line_->setAttribute(Qt::WA_TransparentForMouseEvents);
    line_->setContextMenuPolicy(Qt::NoContextMenu);
    line_->setMaxLength(kMaxSearchLength);
    line_->setPlaceholderText(QCoreApplication::translate("Pesquisa", "Digite para pesquisar"));
    line_->addAction(QIcon(magnifier()), QLineEdit::LeadingPosition);
    line_->setFixedHeight(kSearchHeight);
    line_->setStyleSheet(QStringLiteral("QLineEdit { background: white; color: #212121; border: 2px solid #1565C0;"
                                        " border-radius: 8px; padding: 0 8px; font: 22px; }"));
    searchRow->addWidget(line_, 1);
    auto* erase = makeKey(QStringLiteral("btnApagar"), QString(), kKeyFace);
    erase->setGlyph(glyphs::backspace());
    erase->setFixedSize(76, kSearchHeight);
    connect(erase, &TBlendedBitBtn::clicked, this, &PesquisaDialog::eraseLast);
    auto* clear = makeKey(QStringLiteral("btnLimpar"), QString(), kKeyFace);
    clear->setGlyph(glyphs::clearField());
    clear->setFixedSize(76, kSearchHeight);
    connect(clear, &TBlendedBitBtn::clicked, this, &PesquisaDialog::clearText);
    searchRow->addWidget(erase);
    searchRow->addWidget(clear);
    return searchRow;
}

// The list: rows of a fixed height, chosen by a tap, never holding the focus.
void PesquisaDialog::buildView() {
    view_ = new PesquisaView(this);
    view_->setObjectName(QStringLiteral("pesquisaLista"));
    // Row sizes before the rows: set afterwards, the header would resize 60,000 sections one by one.
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setMinimumSectionSize(kRowHeight);
    view_->verticalHeader()->setDefaultSectionSize(kRowHeight);
    view_->setModel(model_);
    view_->setFocusPolicy(Qt::NoFocus);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::SingleSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setTabKeyNavigation(false);
    view_->setWordWrap(false);
    view_->setShowGrid(false);
    view_->setAlternatingRowColors(true);
    view_->setCornerButtonEnabled(false);
    view_->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    view_->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    styleView();
    // Dragging the list with a finger scrolls it; a drag is not a tap, so it chooses nothing.
    QScroller::grabGesture(view_->viewport(), QScroller::LeftMouseButtonGesture);
    QScrollerProperties props = QScroller::scroller(view_->viewport())->scrollerProperties();
    props.setScrollMetric(QScrollerProperties::VerticalOvershootPolicy,
                          QVariant::fromValue(QScrollerProperties::OvershootAlwaysOff));
    props.setScrollMetric(QScrollerProperties::HorizontalOvershootPolicy,
                          QVariant::fromValue(QScrollerProperties::OvershootAlwaysOff));
    QScroller::scroller(view_->viewport())->setScrollerProperties(props);
    connect(view_, &QAbstractItemView::clicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            choose(index.row());
    });
}

void PesquisaDialog::styleView() {
    view_->setStyleSheet(kViewStyle);
    QFont vf = view_->font();
    vf.setPixelSize(kCellFontPx);
    view_->setFont(vf);
    QHeaderView* header = view_->horizontalHeader();
    QFont hf = header->font();
    hf.setPixelSize(kHeaderFontPx);
    hf.setBold(true);
    header->setFont(hf);
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setStretchLastSection(true);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view_->verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
    view_->horizontalScrollBar()->setFocusPolicy(Qt::NoFocus);
}

TBlendedBitBtn* PesquisaDialog::makeKey(const QString& name, const QString& caption, const QColor& face) {
    auto* key = new TBlendedBitBtn(this);
    key->setObjectName(name);
    key->setCaption(caption);
    key->setColor(face);
    QFont f = key->font();
    f.setPixelSize(20);
    f.setBold(true);
    key->setFont(f);
    key->setMinimumHeight(kKeyHeight);
    return key;
}

// Four rows of ten: digits, then letters as on a keyboard, the space bar at the end of the last row;
// choose and leave to the right, where a thumb finds them.
QWidget* PesquisaDialog::buildKeyboard() {
    auto* board = new QWidget(this);
    auto* row = new QHBoxLayout(board);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(8);

    auto* grid = new QGridLayout;
    grid->setSpacing(4);
    const QString rows[] = {QStringLiteral("1234567890"), QStringLiteral("QWERTYUIOP"), QStringLiteral("ASDFGHJKL-"),
                            QStringLiteral("ZXCVBNM")};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < rows[r].size(); ++c) {
            const QChar ch = rows[r][c];
            auto* key = makeKey(QStringLiteral("btnTecla") + ch, QString(ch), kKeyFace);
            key->setMinimumWidth(40);
            connect(key, &TBlendedBitBtn::clicked, this, [this, ch] { typeText(QString(ch)); });
            grid->addWidget(key, r, c);
        }
    }
    auto* space = makeKey(QStringLiteral("btnEspaco"), QCoreApplication::translate("Pesquisa", "Espaço"), kKeyFace);
    connect(space, &TBlendedBitBtn::clicked, this, [this] { typeText(QStringLiteral(" ")); });
    grid->addWidget(space, 3, 7, 1, 3);
    for (int c = 0; c < 10; ++c)
        grid->setColumnStretch(c, 1);
    row->addLayout(grid, 1);

    auto* actions = new QVBoxLayout;
    actions->setSpacing(4);
    auto* select =
        makeKey(QStringLiteral("btnSelecionar"), QCoreApplication::translate("Pesquisa", "Selecionar"), kChooseFace);
    select->setGlyph(glyphs::confirm());
    connect(select, &TBlendedBitBtn::clicked, this, &PesquisaDialog::chooseHighlighted);
    auto* leave =
        makeKey(QStringLiteral("btnCancelar"), QCoreApplication::translate("Pesquisa", "Cancelar"), kLeaveFace);
    leave->setGlyph(glyphs::exitDoor());
    connect(leave, &TBlendedBitBtn::clicked, this, &QDialog::reject);
    for (TBlendedBitBtn* key : {select, leave}) {
        key->setFixedWidth(kActionWidth);
        key->setMinimumHeight(2 * kKeyHeight + 4);
        actions->addWidget(key, 1);
    }
    row->addLayout(actions);
    return board;
}

void PesquisaDialog::typeText(const QString& text) {
    if (text.isEmpty())
        return;
    applySearch((model_->searchText() + text).left(kMaxSearchLength));
}

void PesquisaDialog::eraseLast() {
    if (!model_->searchText().isEmpty())
        applySearch(model_->searchText().chopped(1));
}

void PesquisaDialog::clearText() {
    applySearch(QString());
}

// The highlighted row stays highlighted while it still matches; otherwise the first match is.
void PesquisaDialog::applySearch(const QString& text) {
    const int keep = model_->visibleIndexOf(highlightedRow());
    model_->setSearchText(text);
    line_->setText(text);
    const int row = model_->rowOfVisibleIndex(keep);
    highlight(row >= 0 ? row : 0);
    updateCount();
}

void PesquisaDialog::chooseHighlighted() {
    int row = highlightedRow();
    if (row < 0 && model_->rowCount() == 1)
        row = 0;
    if (row >= 0)
        choose(row);
}

void PesquisaDialog::choose(int row) {
    const int index = model_->visibleIndexOf(row);
    if (index < 0)
        return;
    chosen_ = index;
    accept();
}

int PesquisaDialog::highlightedRow() const {
    const QModelIndex current = view_->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void PesquisaDialog::highlight(int row) {
    if (row < 0 || row >= model_->rowCount()) {
        view_->setCurrentIndex({});
        return;
    }
    const QModelIndex index = model_->index(row, 0);
    view_->setCurrentIndex(index);
    view_->scrollTo(index);
}

void PesquisaDialog::moveHighlight(int delta) {
    const int count = model_->rowCount();
    if (count == 0)
        return;
    const int row = highlightedRow();
    highlight(row < 0 ? 0 : std::clamp(row + delta, 0, count - 1));
}

int PesquisaDialog::pageRows() const {
    return std::max(1, view_->viewport()->height() / kRowHeight - 1);
}

void PesquisaDialog::updateCount() {
    const int shown = model_->rowCount();
    // A choose key that can choose nothing says so.
    if (auto* select = findChild<TBlendedBitBtn*>(QStringLiteral("btnSelecionar")))
        select->setEnabled(shown > 0);
    const int total = model_->totalRows();
    if (shown == total)
        count_->setText(total == 1 ? QStringLiteral("1 registro") : QStringLiteral("%1 registros").arg(total));
    else
        count_->setText(QStringLiteral("%1 de %2").arg(shown).arg(total));
}

// Each column as wide as its display width asks, never narrower than its title; when that is more than
// the list holds, the widest columns give way first, so no sideways scrolling is needed.
void PesquisaDialog::sizeColumns() {
    const int columns = model_->columnCount();
    if (columns == 0)
        return;
    const QFontMetrics cell(view_->font());
    const QFontMetrics head(view_->horizontalHeader()->font());
    const int padding = 2 * kCellPadding + 4;
    // Upper-case names run wider than the average character.
    const int charWidth = (cell.averageCharWidth() + cell.horizontalAdvance(QLatin1Char('M'))) / 2;
    QList<int> want(columns), least(columns);
    for (int c = 0; c < columns; ++c) {
        least[c] = head.horizontalAdvance(model_->headerData(c, Qt::Horizontal).toString()) + padding;
        want[c] = std::max(least[c], model_->columnWidths()[c] * charWidth + padding);
    }
    const int room = view_->contentsRect().width() - view_->verticalScrollBar()->sizeHint().width();
    int excess = 0;
    for (const int w : want)
        excess += w;
    excess -= room;
    while (excess > 0) {
        const auto widest = std::max_element(want.begin(), want.end());
        const int c = static_cast<int>(widest - want.begin());
        const int give = std::min(excess, want[c] - least[c]);
        if (give <= 0)
            break;
        want[c] -= give;
        least[c] = want[c]; // given all it can
        excess -= give;
    }
    for (int c = 0; c < columns; ++c)
        view_->horizontalHeader()->resizeSection(c, want[c]);
}

void PesquisaDialog::keyPressEvent(QKeyEvent* e) {
    e->accept(); // nothing reaches the screen behind a modal list
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // A repeat belongs to a key held before the list opened, not to a choice.
        if (!e->isAutoRepeat())
            chooseHighlighted();
        return;
    case Qt::Key_Escape:
        if (!e->isAutoRepeat())
            reject();
        return;
    case Qt::Key_Up:
        moveHighlight(-1);
        return;
    case Qt::Key_Down:
        moveHighlight(1);
        return;
    case Qt::Key_PageUp:
        moveHighlight(-pageRows());
        return;
    case Qt::Key_PageDown:
        moveHighlight(pageRows());
        return;
    case Qt::Key_Home:
        moveHighlight(-model_->rowCount());
        return;
    case Qt::Key_End:
        moveHighlight(model_->rowCount());
        return;
    case Qt::Key_Backspace:
        eraseLast();
        return;
    case Qt::Key_Delete:
        clearText();
        return;
    default:
        break;
    }
    if (e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return;
    const QString text = e->text();
    if (!text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isPrint(); }))
        typeText(text);
}

void PesquisaDialog::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    layout()->activate();
    sizeColumns();
    if (view_->currentIndex().isValid())
        view_->scrollTo(view_->currentIndex(), QAbstractItemView::PositionAtCenter);
    centre();
    activateWindow();
    setFocus(Qt::ActiveWindowFocusReason);
}

void PesquisaDialog::paintEvent(QPaintEvent*) {
    paintDialogFrame(this);
}

void PesquisaDialog::centre() {
    centreDialog(this);
}

// ---------------------------------------------------------------------------------------------------------------

bool showPesquisaDialog(ClientDataSet& dataset, const QString& /*flag*/, QWidget* parent) {
    if (!canShowDialog())
        return false;
    OverrideCursorLift lift;
    if (!parent)
        parent = QApplication::activeWindow();
    // The parent may go away while the list is up; the guard keeps us from touching a deleted dialog.
    QPointer<PesquisaDialog> dialog = new PesquisaDialog(dataset, parent);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    const int chosen = dialog ? dialog->chosenVisibleIndex() : -1;
    delete dialog.data();
    if (!accepted || chosen < 0)
        return false;
    dataset.setRecNo(chosen);
    return true;
}

void installDefaultPesquisa() {
    PesquisaFn& service = siblingServices().Pesquisa;
    if (!service) {
        service = [](ClientDataSet& dataset, const QString& flag) {
            return showPesquisaDialog(dataset, flag, QApplication::activeWindow());
        };
    }
}

} // namespace cadcons
