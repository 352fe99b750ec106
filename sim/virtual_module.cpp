#include "sim/virtual_module.h"

#include <algorithm>

#include "sim/command_models.h"

namespace fpm::sim {

namespace {
constexpr std::uint8_t kBusy = 3;
constexpr std::uint8_t kUnknownCommand = 9;

// Takes `amount` from a budget that stops at 0 (a negative budget is none): a worker and
// the test may spend it at once, and neither may carry it below 0, which would read as
// "never".
void spend(std::atomic<std::int64_t> &budget, std::int64_t amount)
{
    std::int64_t left = budget.load();
    while (left > 0 && !budget.compare_exchange_weak(left, std::max<std::int64_t>(left - amount, 0))) {
    }
}
}  // namespace

VirtualModule::VirtualModule()
{
    setFirmwareText("FPMODULE WA 1.03 2026-11-20");
    installCommandModels(*this);
}

void VirtualModule::setFirmwareText(const std::string &text)
{
    firmwareRecord.fill(0);
    std::copy_n(text.begin(), std::min(text.size(), firmwareRecord.size()), firmwareRecord.begin());
}

std::vector<std::uint8_t> VirtualModule::header(std::uint8_t code, std::uint8_t status,
                                                const std::vector<std::uint8_t> &values)
{
    std::vector<std::uint8_t> reply(2 + values.size());
    reply[0] = code;
    reply[1] = status;
    std::copy(values.begin(), values.end(), reply.begin() + 2);
    return reply;
}

void VirtualModule::script(std::uint8_t code, ScriptedReply reply)
{
    int busy = reply.busyFirst;
    queued_[code].push_back({std::move(reply), busy});
}

void VirtualModule::answerAlways(std::uint8_t code, ScriptedReply reply) { always_[code] = std::move(reply); }

void VirtualModule::setHandler(std::uint8_t code, Handler handler) { handlers_[code] = std::move(handler); }

void VirtualModule::clearScripts()
{
    queued_.clear();
    always_.clear();
}

VirtualModule::Answer VirtualModule::respond(const ReceivedRequest &request)
{
    if (transfersBeforeUnplug.load() == 0 || dataBytesBeforeUnplug.load() == 0) unplugged = true;
    if (unplugged) return {false, {}, 0};
    spend(transfersBeforeUnplug, 1);
    Answer answer = compose(request);
    spend(dataBytesBeforeUnplug, static_cast<std::int64_t>(answer.data.size()));
    return answer;
}

VirtualModule::Answer VirtualModule::compose(const ReceivedRequest &request)
{
    const std::uint8_t code = request.code();

    auto fromScript = [&](const ScriptedReply &s) -> Answer {
        if (s.failTransfer) return {false, {}, s.delayMs};
        if (s.raw) return {true, *s.raw, s.delayMs};
        return {true, header(s.echo.value_or(code), s.status, s.values), s.delayMs};
    };

    auto queue = queued_.find(code);
    if (queue != queued_.end() && !queue->second.empty()) {
        Pending &front = queue->second.front();
        if (front.busyLeft > 0) {
            --front.busyLeft;
            return {true, header(code, kBusy), front.reply.delayMs};
        }
        Answer answer = fromScript(front.reply);
        queue->second.pop_front();
        return answer;
    }
    if (auto always = always_.find(code); always != always_.end()) return fromScript(always->second);
    if (auto handler = handlers_.find(code); handler != handlers_.end()) {
        auto data = handler->second(*this, request);
        if (!data) return {false, {}, 0};
        return {true, std::move(*data), 0};
    }
    return {true, header(code, kUnknownCommand), 0};
}

}  // namespace fpm::sim
