#pragma once

#include <QAbstractTableModel>
#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

class QHBoxLayout;
class QLabel;
class QLineEdit;
class QTableView;

namespace cadcons {

class ClientDataSet;
class TBlendedBitBtn;

// The rows a search list offers: the dataset's visible rows and visible columns, as display texts (the
// field's GetText handler when set). Every text is read once, when the model is built, together with
// a search key per row, so narrowing never goes back to the dataset. Building walks the dataset's rows
// and puts it back on the row (and end-of-data state) it was on, also when a GetText handler throws.
class PesquisaModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit PesquisaModel(ClientDataSet& dataset, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Keeps the rows with a column whose text contains `text`, ignoring case and accents; an empty or
    // blank text keeps every row. A text that extends the previous one narrows the rows already kept;
    // a shorter one goes back to the rows kept for it before.
    void setSearchText(const QString& text);
    const QString& searchText() const { return searchText_; }

    int totalRows() const { return rowCount_; }
    // Position among the dataset's visible rows of a shown row, -1 for a row not shown.
    int visibleIndexOf(int row) const;
    // Shown row of a dataset visible index, -1 when it is filtered out by the search.
    int rowOfVisibleIndex(int visibleIndex) const;
    // Display width in characters of each shown column.
    const QList<int>& columnWidths() const { return widths_; }

private:
    struct Narrowing {
        QString needle; // folded
        std::vector<int> rows;
    };

    QStringList labels_;
    QList<int> widths_;
    int columns_ = 0;
    int rowCount_ = 0;
    std::vector<QString> cells_; // row-major, columns_ per row
    QString keys_;               // every row's folded search key, back to back
    std::vector<qsizetype> keyStart_;
    QString searchText_;
    std::vector<Narrowing> history_; // the empty needle first, then each narrower one
};

// The search dialog: a search line at the top that the dialog fills itself, the rows below, and an
// on-screen keyboard, for terminals without a physical one. A tap on a row chooses it; the green key
// (or Enter) chooses the highlighted row. Escape or the red key leaves. No child takes the focus, so
// every physical key reaches the dialog. Parts are named for scripts: "pesquisaTexto", "pesquisaLista",
// "pesquisaContagem", "btnSelecionar", "btnCancelar", "btnApagar", "btnLimpar", "btnEspaco", and a key
// per letter and digit, "btnTecla" + the character.
class PesquisaDialog : public QDialog {
    Q_OBJECT
public:
    explicit PesquisaDialog(ClientDataSet& dataset, QWidget* parent = nullptr);

    // Dataset visible index of the row chosen, -1 until one is.
    int chosenVisibleIndex() const { return chosen_; }
    PesquisaModel* model() const { return model_; }
    QTableView* view() const { return view_; }

    // What the on-screen keys do; physical keys end here too.
    void typeText(const QString& text);
    void eraseLast();
    void clearText();
    // Chooses the highlighted row, or the only row left; does nothing otherwise.
    void chooseHighlighted();

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void showEvent(QShowEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

private:
    QHBoxLayout* buildSearchRow();
    void buildView();
    void styleView();
    QWidget* buildKeyboard();
    TBlendedBitBtn* makeKey(const QString& name, const QString& caption, const QColor& face);
    void applySearch(const QString& text);
    void choose(int row);
    void moveHighlight(int delta);
    void highlight(int row);
    int highlightedRow() const;
    int pageRows() const;
    void sizeColumns();
    void updateCount();
    void centre();

    PesquisaModel* model_ = nullptr;
    QTableView* view_ = nullptr;
    QLineEdit* line_ = nullptr;
    QLabel* count_ = nullptr;
    int chosen_ = -1;
};

// Shows the search dialog over the dataset, modal and centred on the parent's window. True when the
// operator chose a row: the dataset is then on that row. False when the operator left: the dataset is
// as it was. The flag selects nothing here (callers pass "N"). Without a widget application on the
// calling thread there is no one to ask, and the answer is false.
bool showPesquisaDialog(ClientDataSet& dataset, const QString& flag, QWidget* parent = nullptr);

// Puts the dialog in the sibling package's Pesquisa variable unless something is there already.
void installDefaultPesquisa();

} // namespace cadcons
