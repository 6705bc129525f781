#include "app/Unit8.h"

#include <algorithm>

#include "app/App.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace torv {

TForm8::TForm8(App &app, QWidget *parent) : QDialog(parent), app_(app), registry_(app) {
    setObjectName(QStringLiteral("TForm8"));
    setWindowTitle(QStringLiteral("Выбор прибора"));
    resize(780, 480);
    app_.registry.current.chosen = 0;

    Label1 = new QLabel(QStringLiteral("Расположение базы данных"), this);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setReadOnly(true);
    MakeGrid();
    MakeNavigator();
    Label2 = new QLabel(QStringLiteral("Поиск прибора по номеру"), this);
    MaskEdit1 = new QLineEdit(this);
    MaskEdit1->setObjectName(QStringLiteral("MaskEdit1"));
    MaskEdit1->setInputMask(QStringLiteral("0000"));
    Button4 = new QPushButton(QStringLiteral("Поиск"), this);
    Button1 = new QPushButton(QStringLiteral("Выбрать прибор"), this);
    Button2 = new QPushButton(QStringLiteral("Отмена"), this);
    Button3 = new QPushButton(QStringLiteral("Удалить прибор"), this);
    for (QPushButton *b : {Button1, Button2, Button3, Button4})
        b->setAutoDefault(false);

    auto *top = new QHBoxLayout;
    top->addWidget(Label1);
    top->addWidget(Edit1, 1);
    auto *search = new QHBoxLayout;
    search->addWidget(DBNavigator1);
    search->addStretch(1);
    search->addWidget(Label2);
    search->addWidget(MaskEdit1);
    search->addWidget(Button4);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(Button3);
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(DBGrid1, 1);
    layout->addLayout(search);
    layout->addLayout(buttons);
    BindControls();
}

// The registry grid: its columns in the list's order under their titles.
void TForm8::MakeGrid() {
    DBGrid1 = new QTableWidget(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setColumnCount(kRegistryGridColumns);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    DBGrid1->verticalHeader()->setVisible(false);
    DBGrid1->horizontalHeader()->setMinimumSectionSize(16);  // the number column is narrow
    DBGrid1->setTextElideMode(Qt::ElideNone);                // narrow columns clip, as the grid always did
    QFont gridFont = DBGrid1->font();
    gridFont.setPointSize(8);
    DBGrid1->setFont(gridFont);
    QStringList titles;
    for (const RegistryColumn &c : RegistryGridColumns())
        titles << QString::fromUtf8(c.title);
    DBGrid1->setHorizontalHeaderLabels(titles);
    // The widths are the list's own, measured on another system's fonts: each is a minimum, and a
    // column is widened to its title so no title is cut.
    for (int i = 0; i < kRegistryGridColumns; ++i) {
        const RegistryColumn &c = RegistryGridColumns()[i];
        DBGrid1->setColumnWidth(i, std::max(c.width, DBGrid1->horizontalHeader()->sectionSizeHint(i)));
        DBGrid1->setColumnHidden(i, !c.visible);
    }
}

// The navigator bar: first, previous, next and last row.
void TForm8::MakeNavigator() {
    DBNavigator1 = new QWidget(this);
    DBNavigator1->setObjectName(QStringLiteral("DBNavigator1"));
    auto navButton = [this](const QString &text, const QString &hint) {
        auto *b = new QToolButton(DBNavigator1);
        b->setText(text);
        b->setToolTip(hint);
        return b;
    };
    NavFirst = navButton(QStringLiteral("|<"), QStringLiteral("Первая запись"));
    NavPrior = navButton(QStringLiteral("<"), QStringLiteral("Предыдущая запись"));
    NavNext = navButton(QStringLiteral(">"), QStringLiteral("Следующая запись"));
    NavLast = navButton(QStringLiteral(">|"), QStringLiteral("Последняя запись"));
    auto *nav = new QHBoxLayout(DBNavigator1);
    nav->setContentsMargins(0, 0, 0, 0);
    for (QToolButton *b : {NavFirst, NavPrior, NavNext, NavLast})
        nav->addWidget(b);
}

// The buttons, the grid's clicks and the navigator act on the registry.
void TForm8::BindControls() {
    connect(Button1, &QPushButton::clicked, this, &TForm8::ChooseClick);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Button3, &QPushButton::clicked, this, &TForm8::DeleteClick);
    connect(Button4, &QPushButton::clicked, this, &TForm8::SearchClick);
    connect(MaskEdit1, &QLineEdit::returnPressed, this, &TForm8::SearchClick);
    auto choose = [this](int row, int) {
        registry_.setCurrentIndex(row);
        ChooseClick();
    };
    connect(DBGrid1, &QTableWidget::cellClicked, this, choose);
    connect(DBGrid1, &QTableWidget::cellDoubleClicked, this, choose);
    connect(DBGrid1, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (!filling_ && row >= 0)
            registry_.setCurrentIndex(row);
    });
    auto navigate = [this](void (Registry::*step)()) {
        (registry_.*step)();
        ShowCurrentRow();
    };
    connect(NavFirst, &QToolButton::clicked, this, [=] { navigate(&Registry::First); });
    connect(NavPrior, &QToolButton::clicked, this, [=] { navigate(&Registry::Prior); });
    connect(NavNext, &QToolButton::clicked, this, [=] { navigate(&Registry::Next); });
    connect(NavLast, &QToolButton::clicked, this, [=] { navigate(&Registry::Last); });
}

void TForm8::FormCreate() { registry_.RestoreLastDevice(); }

void TForm8::showEvent(QShowEvent *e) {
    MaskEdit1->setText(QStringLiteral("0000"));
    registry_.RefreshList();
    FillGrid();
    QDialog::showEvent(e);
}

void TForm8::FillGrid() {
    filling_ = true;
    Edit1->setText(registry_.DatabaseLocation());
    const std::vector<RegistryRow> &rows = registry_.rows();
    DBGrid1->setRowCount(int(rows.size()));
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < kRegistryGridColumns; ++c) {
            const QString text = RegistryField(rows[r], QLatin1String(RegistryGridColumns()[c].name));
            auto *item = DBGrid1->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                DBGrid1->setItem(r, c, item);
            }
            item->setText(text);
        }
    const bool open = registry_.isOpen();
    DBGrid1->setEnabled(open);
    for (QWidget *w :
         {static_cast<QWidget *>(DBNavigator1), static_cast<QWidget *>(Button3), static_cast<QWidget *>(Button4)})
        w->setEnabled(open);
    filling_ = false;
    ShowCurrentRow();
}

void TForm8::ShowCurrentRow() {
    filling_ = true;
    const int row = registry_.currentIndex();
    if (row >= 0)
        DBGrid1->setCurrentCell(row, 1);
    else
        DBGrid1->clearSelection();
    filling_ = false;
}

void TForm8::ChooseClick() {
    const int result = registry_.ChooseDevice();
    done(result == 1 ? QDialog::Accepted : QDialog::Rejected);
}

void TForm8::SearchClick() {
    registry_.Search(MaskEdit1->text());
    ShowCurrentRow();
}

void TForm8::DeleteClick() {
    if (registry_.DeleteDevice())
        FillGrid();
}

}  // namespace torv
