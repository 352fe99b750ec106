// Card issuing.
#include "card/card_issue.h"
#include "connection/module_handle.h"
#include "exports/export.h"

using namespace fpm::card;
using fpm::connection::connectedHandle;
using fpm::transport::runRow;

FPM_EXPORT FPM_RESULT FPM_CALL IssueCard(void) { return runRow(kIssueCard, connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL CheckCardIssued(unsigned char *issued) { return checkCardIssued(issued); }

FPM_EXPORT FPM_RESULT FPM_CALL BeginIssueCardProcedure(ResultCallback callback)
{
    return beginIssueCardProcedure(callback);
}
