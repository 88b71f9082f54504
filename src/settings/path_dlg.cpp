#include "settings/path_dlg.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace kvx {

PathDlg::PathDlg(QWidget* parent)
    : QDialog(parent)
    , m_drives(new QComboBox(this))
    , m_tree(new QTreeView(this))
    , m_model(new QFileSystemModel(this))
    , m_path(new QLineEdit(this)) {
    setWindowTitle(QStringLiteral("路径选择对话框"));
    m_drives->setObjectName(QStringLiteral("Drive1"));
    m_tree->setObjectName(QStringLiteral("Dir1"));
    m_path->setObjectName(QStringLiteral("TxtPath"));

    m_model->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    m_model->setRootPath(QString());
    m_tree->setModel(m_model);
    m_tree->setHeaderHidden(true);
    for (int column = 1; column < m_model->columnCount(); ++column)
        m_tree->hideColumn(column);

    auto* ok = new QPushButton(QStringLiteral("确  定"), this);
    ok->setObjectName(QStringLiteral("cmdOk"));
    auto* cancel = new QPushButton(QStringLiteral("取  消"), this);
    cancel->setObjectName(QStringLiteral("CmdEsc"));
    ok->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_drives);
    layout->addWidget(m_tree, 1);
    layout->addWidget(m_path);
    layout->addLayout(buttons);
    resize(360, 420);

    fillDrives();
    connect(m_drives, &QComboBox::currentIndexChanged, this, &PathDlg::onDriveChanged);
    connect(m_tree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &PathDlg::onFolderChanged);
    connect(ok, &QPushButton::clicked, this, &PathDlg::onOkClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void PathDlg::fillDrives() {
    for (const QFileInfo& drive : QDir::drives())
        m_drives->addItem(QDir::toNativeSeparators(drive.absoluteFilePath()),
                          drive.absoluteFilePath());
    const QString home = QDir::homePath();
    if (m_drives->findData(home) < 0)
        m_drives->addItem(QDir::toNativeSeparators(home), home);
}

QString PathDlg::openPath(QWidget* owner, const QString& startFolder) {
    m_chosenPath.clear();
    if (owner && owner != parentWidget())
        setParent(owner, windowFlags());
    const QDir start(startFolder.trimmed());
    showFolder(!startFolder.trimmed().isEmpty() && start.exists() ? start.absolutePath()
                                                                  : QDir::currentPath());
    exec();
    return m_chosenPath;
}

void PathDlg::showFolder(const QString& folder) {
    // The drive holding the folder: the longest entry that the folder lies below.
    int best = -1;
    qsizetype bestLength = -1;
    for (int i = 0; i < m_drives->count(); ++i) {
        const QString root = m_drives->itemData(i).toString();
        const QString prefix = root.endsWith(QLatin1Char('/')) ? root : root + QLatin1Char('/');
        if ((folder == root || folder.startsWith(prefix)) && root.size() > bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    {
        const QSignalBlocker blocker(m_drives);
        if (best >= 0)
            m_drives->setCurrentIndex(best);
    }
    m_tree->setRootIndex(m_model->index(m_drives->currentData().toString()));
    const QModelIndex index = m_model->index(folder);
    m_tree->setCurrentIndex(index);
    m_tree->scrollTo(index);
    m_path->setText(QDir::toNativeSeparators(folder));
}

void PathDlg::onDriveChanged(int index) {
    showFolder(m_drives->itemData(index).toString());
}

void PathDlg::onFolderChanged(const QModelIndex& current) {
    if (current.isValid())
        m_path->setText(QDir::toNativeSeparators(m_model->filePath(current)));
}

void PathDlg::onOkClicked() {
    const QString text = m_path->text();
    if (!text.isEmpty())
        m_chosenPath = text.endsWith(QDir::separator()) ? text : text + QDir::separator();
    accept();
}

} // namespace kvx
