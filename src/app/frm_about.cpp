#include "app/frm_about.h"

#include "login/product.h"
#include "platform/named_widgets.h"
#include "platform/prompter.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>

namespace kvx {

FrmAbout::FrmAbout(Prompter& prompter, QWidget* parent)
    : QDialog(parent)
    , m_prompter(prompter) {
    setWindowTitle(QStringLiteral("关于") + Product::title());

    auto* icon = makeLabel(QString(), QStringLiteral("picIcon"), this);
    const QIcon programIcon =
        windowIcon().isNull() ? style()->standardIcon(QStyle::SP_ComputerIcon) : windowIcon();
    icon->setPixmap(programIcon.pixmap(48, 48));
    QLabel* title = makeLabel(Product::title() + QStringLiteral(" 版本 ") + Product::version(),
                              QStringLiteral("lblTitle"), this);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.3);
    title->setFont(titleFont);
    QLabel* description = makeLabel(QStringLiteral("For Windows 98/NT/2000/XP/2003"),
                                    QStringLiteral("lblDescription"), this);
    QLabel* database =
        makeLabel(QStringLiteral("SQL Server 2000/MSDE 2000"), QStringLiteral("Label3"), this);
    QLabel* maker = makeLabel(Product::makerName() + QStringLiteral(" 企业应用集成产品"),
                              QStringLiteral("Label1"), this);
    QLabel* rights = makeLabel(QStringLiteral("版权所有 ") + Product::makerName(),
                               QStringLiteral("Label2"), this);
    QLabel* disclaimer = makeLabel(QString(), QStringLiteral("lblDisclaimer"), this);
    disclaimer->setText(
        QStringLiteral("警告：本计算机程序受著作权法和国际公约的保护。") + QLatin1Char('\n') +
        QStringLiteral("未经授权擅自复制或传播本程序的全部或部分，将受到法律追究。"));
    disclaimer->setWordWrap(true);

    auto* ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("cmdOk"));
    ok->setDefault(true);
    auto* sysInfo = new QPushButton(QStringLiteral("系统信息..."), this);
    sysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    sysInfo->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(icon, 0, 0, 3, 1, Qt::AlignTop);
    grid->addWidget(title, 0, 1);
    grid->addWidget(description, 1, 1);
    grid->addWidget(database, 2, 1);
    grid->addWidget(maker, 3, 1);
    grid->addWidget(rights, 4, 1);
    grid->addWidget(disclaimer, 5, 0, 1, 2);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(sysInfo);
    buttons->addStretch();
    grid->addLayout(buttons, 0, 2, 6, 1);

    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(sysInfo, &QPushButton::clicked, this, &FrmAbout::startSysInfo);
}

void FrmAbout::startSysInfo() {
    // The system information tool is registered only on Windows; this build has none.
    m_prompter.message(QStringLiteral("System Information Is Unavailable At This Time"),
                       Product::applicationTitle(), Prompter::Icon::None);
}

} // namespace kvx
