#include "ui/detail/BrewDoctorSheetView.h"

#include "ui/SymbolIcons.h"
#include "ui/main/components/PaletteFollower.h"
#include "ui/main/components/PlainLabel.h"
#include "ui/main/components/SystemColors.h"
#include "ui/main/components/TextStyles.h"
#include "viewmodels/DetailViewModel.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace norvelle {

BrewDoctorSheetView::State BrewDoctorSheetView::state(bool isRunning, const QString& output)
{
    if (!output.isEmpty())
        return State::result;
    return isRunning ? State::running : State::idle;
}

BrewDoctorSheetView::BrewDoctorSheetView(DetailViewModel& viewModel, QWidget* parent)
    : QDialog(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("brewDoctorSheet"));
    setWindowTitle(QStringLiteral("Brew Doctor"));
    setFixedSize(600, 450);
    auto* outer = new QVBoxLayout(this);
    outer->setSpacing(0);

    auto* header = new QVBoxLayout;
    header->setSpacing(4);
    QLabel* title = makePlainLabel(QStringLiteral("Brew Doctor"),
                                   TextStyles::font(TextStyles::Style::title2, QFont::DemiBold), QColor(),
                                   this, "brewDoctorTitle");
    QLabel* subtitle =
        makePlainLabel(QStringLiteral("View your Brew installation health"),
                       TextStyles::font(TextStyles::Style::callout), QColor(), this, "brewDoctorSubtitle");
    header->addWidget(title);
    header->addWidget(subtitle);
    header->setContentsMargins(0, 0, 0, 12);
    outer->addLayout(header);

    m_body = new QStackedWidget(this);
    outer->addWidget(m_body, 1);

    m_idle = new QWidget(m_body);
    m_idle->setObjectName(QStringLiteral("brewDoctorIdle"));
    auto* idle = new QVBoxLayout(m_idle);
    idle->addStretch();
    auto* stethoscope = new QLabel(m_idle);
    stethoscope->setAlignment(Qt::AlignCenter);
    idle->addWidget(stethoscope);
    QLabel* idleText = makePlainLabel(QStringLiteral("Run brew doctor to check your Homebrew installation"),
                                      TextStyles::font(TextStyles::Style::callout), QColor(), m_idle, nullptr,
                                      Qt::AlignCenter);
    idle->addWidget(idleText);
    idle->addStretch();
    m_body->addWidget(m_idle);

    m_running = new QWidget(m_body);
    m_running->setObjectName(QStringLiteral("brewDoctorRunning"));
    auto* running = new QVBoxLayout(m_running);
    running->addStretch();
    auto* spinner = new QProgressBar(m_running);
    spinner->setRange(0, 0);
    spinner->setTextVisible(false);
    spinner->setFixedSize(60, 8);
    running->addWidget(spinner, 0, Qt::AlignCenter);
    QLabel* runningText =
        makePlainLabel(QStringLiteral("Running brew doctor..."), TextStyles::font(TextStyles::Style::callout),
                       QColor(), m_running, "brewDoctorRunningText", Qt::AlignCenter);
    running->addWidget(runningText);
    running->addStretch();
    m_body->addWidget(m_running);

    m_result = new QScrollArea(m_body);
    m_result->setObjectName(QStringLiteral("brewDoctorResult"));
    m_result->setWidgetResizable(true);
    m_result->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    auto* resultContent = new QWidget;
    auto* result = new QVBoxLayout(resultContent);
    result->setSpacing(8);
    auto* verdictRow = new QHBoxLayout;
    m_verdictIcon = new QLabel(resultContent);
    m_verdict = makePlainLabel(QString(), TextStyles::font(TextStyles::Style::headline), QColor(),
                               resultContent, "brewDoctorVerdict");
    verdictRow->addWidget(m_verdictIcon);
    verdictRow->addWidget(m_verdict);
    verdictRow->addStretch();
    result->addLayout(verdictRow);
    result->addSpacing(4);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(TextStyles::font(TextStyles::Style::body).pointSizeF());
    m_output = makePlainLabel(QString(), mono, QColor(), resultContent, "brewDoctorOutput");
    m_output->setWordWrap(true);
    m_output->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_output->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    result->addWidget(m_output);
    result->addStretch();
    m_result->setWidget(resultContent);
    m_body->addWidget(m_result);

    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(0, 12, 0, 0);
    QLabel* note = makePlainLabel(
        QStringLiteral("This diagnostic tool checks your Homebrew installation for potential issues."),
        TextStyles::font(TextStyles::Style::caption), QColor(), this, "brewDoctorNote");
    note->setWordWrap(true);
    footer->addWidget(note, 1);
    m_runButton = new QPushButton(this);
    m_runButton->setObjectName(QStringLiteral("brewDoctorRunButton"));
    m_runButton->setAutoDefault(false);
    connect(m_runButton, &QPushButton::clicked, this, &BrewDoctorSheetView::run);
    footer->addWidget(m_runButton);
    auto* done = new QPushButton(QStringLiteral("Done"), this);
    done->setObjectName(QStringLiteral("brewDoctorDone"));
    done->setDefault(true);
    connect(done, &QPushButton::clicked, this, &QDialog::accept);
    footer->addWidget(done);
    outer->addLayout(footer);

    connect(&m_viewModel, &DetailViewModel::isRunningBrewDoctorChanged, this, &BrewDoctorSheetView::sync);
    connect(&m_viewModel, &DetailViewModel::brewDoctorOutputChanged, this, &BrewDoctorSheetView::sync);
    connect(&m_viewModel, &DetailViewModel::brewDoctorHasErrorChanged, this, &BrewDoctorSheetView::sync);
    PaletteFollower::follow(this, [=, this] {
        setTextColor(title, SystemColors::primary());
        for (QLabel* label : {subtitle, idleText, runningText, note})
            setTextColor(label, SystemColors::secondary());
        stethoscope->setPixmap(SymbolIcons::pixmap(QStringLiteral("stethoscope"), 48,
                                                   SystemColors::secondary(), devicePixelRatioF()));
        setTextColor(m_output, SystemColors::primary());
        sync();
    });
}

BrewDoctorSheetView::~BrewDoctorSheetView() = default;

void BrewDoctorSheetView::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Every opening checks again, but never starts a second run beside one under way.
    if (!m_viewModel.isRunningBrewDoctor())
        run();
}

void BrewDoctorSheetView::run()
{
    if (m_viewModel.isRunningBrewDoctor())
        return;
    m_viewModel.runBrewDoctor();
}

void BrewDoctorSheetView::sync()
{
    const QString output = m_viewModel.brewDoctorOutput();
    m_state = state(m_viewModel.isRunningBrewDoctor(), output);
    switch (m_state) {
    case State::idle:
        m_body->setCurrentWidget(m_idle);
        break;
    case State::running:
        m_body->setCurrentWidget(m_running);
        break;
    case State::result:
        m_body->setCurrentWidget(m_result);
        break;
    }
    const bool issues = m_viewModel.brewDoctorHasError();
    const QColor color = issues ? SystemColors::orange() : SystemColors::green();
    m_verdictIcon->setPixmap(SymbolIcons::pixmap(issues ? QStringLiteral("exclamationmark.triangle.fill")
                                                        : QStringLiteral("checkmark.circle.fill"),
                                                 18, color, devicePixelRatioF()));
    m_verdict->setText(issues ? QStringLiteral("Issues Found")
                              : QStringLiteral("Your system is ready to brew"));
    setTextColor(m_verdict, color);
    m_output->setText(output);
    m_runButton->setText(output.isEmpty() ? QStringLiteral("Run Doctor") : QStringLiteral("Run Again"));
    m_runButton->setEnabled(!m_viewModel.isRunningBrewDoctor());
}

} // namespace norvelle
