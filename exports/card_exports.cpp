// Card issuing.
#include "card/card_issue.h"
#include "connection/module_handle.h"
#include "exports/export.h"

using namespace fpm::card;
using fpm::connection::connectedHandle;
using fpm::transport::runRow;

FPM_EXPORT FPM_RESULT FPM_CALL IssueCard(void) { FPM_TRACED; return runRow(kIssueCard, connectedHandle()); }

FPM_EXPORT FPM_RESULT FPM_CALL CheckCardIssued(unsigned char *issued) { FPM_TRACED; return checkCardIssued(issued); }

FPM_EXPORT FPM_RESULT FPM_CALL BeginIssueCardProcedure(ResultCallback callback)
{
    FPM_TRACED;
    return beginIssueCardProcedure(callback);
}
