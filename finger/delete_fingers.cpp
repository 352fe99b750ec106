#include "finger/delete_fingers.h"

#include "connection/connection_state.h"
#include "connection/led_wait.h"
#include "connection/module_handle.h"
#include "worker/procedure_worker.h"

namespace fpm::finger {

const transport::CommandRow kDeleteFinger{
    .code = kCmdDeleteFinger,
    .parameters = {1},
    .argumentAt = {3},
    .command = {.logPrefix = "DoDeleteFingerRequest",
                .options = {.timeoutSeconds = 10},
                .transferFailureReason = "RecvDataTransaction",
                .clearsCancel = true},
};

ResultByte deleteFinger(std::uint32_t fingerIndex)
{
    return transport::runRow(kDeleteFinger, connection::connectedHandle(), {fingerIndex});
}

ResultByte deleteFingers(std::uint8_t fingerIndex)
{
    if (fingerIndex != kAllFingers) return deleteFinger(fingerIndex);
    for (std::uint8_t slot = kFirstSlot; slot <= kLastSlot; ++slot) {
        const ResultByte result = deleteFinger(slot);
        if (result != kSuccess) return result;
    }
    return kSuccess;
}

namespace {

void deleteProcedure(procedure::Run &run)
{
    const DeleteParameters started = state().procedures.deletion();
    const ResultCallback callback = started.callback;
    std::uint8_t result = deleteFingers(started.finger);
    // The callback runs while the procedure still counts as running.
    if (callback) callback(&result);
    run.release();
    connection::runLedWait(run.connection());
}

}  // namespace

ResultByte beginDeleteProcedure(std::uint8_t fingerIndex, ResultCallback callback)
{
    ConnectionState &s = state();
    procedure::Run *run = procedure::Run::claim(s.deleteWorker);
    if (!run) return kProcedureRunning;
    s.procedures.storeDelete({callback, fingerIndex});
    return run->launch(deleteProcedure) ? kProcedureStarted : kProcedureNotStarted;
}

}  // namespace fpm::finger
