#include "card/card_issue.h"

#include "connection/connect.h"
#include "connection/connection_state.h"
#include "connection/module_handle.h"
#include "finger/delete_fingers.h"
#include "transport/exchange.h"
#include "worker/procedure_worker.h"

namespace fpm::card {

const transport::CommandRow kIssueCard{
    .code = kCmdIssueCard,
    .command = {.logPrefix = "IssueCard", .transferFailureReason = "RecvDataTransaction", .clearsCancel = true},
};

const transport::CommandRow kCheckCardIssued{
    .code = kCmdCheckCardIssued,
    .command = {.logPrefix = nullptr, .clearsCancel = true},
    .outputs = {transport::ReplyField{.from = 2}},
};

ResultByte checkCardIssued(unsigned char *issued)
{
    if (!issued) return kFailure;
    std::uint8_t value = 0;
    const ResultByte result = transport::runRow(kCheckCardIssued, connection::connectedHandle(), {}, {&value});
    if (result == kSuccess) *issued = value == 1 ? 1 : 0;
    return result;
}

namespace {

void issueCardProcedure(procedure::Run &run)
{
    const ResultCallback callback = state().procedures.issueCard();
    std::uint8_t result = transport::runRow(kIssueCard, connection::connectedHandle());
    // Still running during the callback: a start call from inside it is refused.
    if (callback) callback(&result);
    run.release();
    // The issued card leaves the station: the module is switched off and closed.
    connection::closeDevice();
}

}  // namespace

ResultByte beginIssueCardProcedure(ResultCallback callback)
{
    ConnectionState &s = state();
    procedure::Run *run = procedure::Run::claim(s.issueCardWorker);
    if (!run) return finger::kProcedureRunning;
    s.procedures.storeIssueCard(callback);
    return run->launch(issueCardProcedure) ? finger::kProcedureStarted : finger::kProcedureNotStarted;
}

}  // namespace fpm::card
