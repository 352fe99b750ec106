import gc
import threading
import time

import pytest

import fpmodule
from fpmodule import (CODE_CANCELING, CODE_ERROR, CODE_FAKE_FINGER, CODE_MATCH, CODE_NO_MATCH, CODE_OK,
                      EVENT_CANCELED, EVENT_CAPTURE_ACCEPTED, EVENT_ENROLL_COMPLETE, EVENT_WAIT_FINGER)

WAIT = 30  # seconds; a procedure takes a few
TICK = 0.1  # seconds, the library's polling step


def stop_while_waiting_for_the_finger(module, start):
    """Starts a procedure on a module kept busy and stops it a few ticks into its wait
    for the finger, as a user would."""
    waiting = threading.Event()
    procedure = start(lambda event, *rest: event == EVENT_WAIT_FINGER and waiting.set())
    assert waiting.wait(WAIT)
    time.sleep(3 * TICK)
    procedure.stop()
    return procedure


def wait_until_closed(module):
    """A failed enrolment and the card issue close the module after their final report."""
    deadline = time.monotonic() + WAIT
    while time.monotonic() < deadline:
        try:
            module.firmware_version()
        except fpmodule.FpModuleError:
            return
        time.sleep(TICK)
    pytest.fail("the procedure did not close the module")


def test_enrolment_reports_every_step_and_keeps_its_callback_alive(module):
    seen = []
    procedure = module.start_enrollment(3, 2, lambda event, image: seen.append((event, image)))
    gc.collect()  # the caller kept no reference to the callback object
    assert procedure.wait(WAIT) == EVENT_ENROLL_COMPLETE
    assert [event for event, _ in seen] == [EVENT_WAIT_FINGER, EVENT_CAPTURE_ACCEPTED, CODE_OK,
                                           EVENT_WAIT_FINGER, EVENT_CAPTURE_ACCEPTED, EVENT_ENROLL_COMPLETE]
    images = [image for _, image in seen if image is not None]
    assert [(i.width, i.height, i.bytes_per_pixel, len(i.data)) for i in images] == [(120, 100, 1, 12000)] * 2
    assert procedure.images == images
    assert module.enrolled_captures(3) == 2
    # Completed: the next enrolment may start.
    assert module.start_enrollment(3, 1).wait(WAIT) == EVENT_ENROLL_COMPLETE


def test_enrolment_of_a_16_bit_sensor_hands_over_8_bit_images(configure, module):
    configure("bytes_per_pixel = 2\nwidth = 48\nheight = 64\n")
    module.connect()
    procedure = module.start_enrollment(1, 1)
    assert procedure.wait(WAIT) == EVENT_ENROLL_COMPLETE
    assert [(i.width, i.height, i.bytes_per_pixel, len(i.data)) for i in procedure.images] == [(48, 64, 1, 48 * 64)]


def test_enrolment_repeats_a_fake_capture(configure, module):
    configure("finger = fake, 1\n")
    module.connect()
    procedure = module.start_enrollment(1, 1)
    assert procedure.wait(WAIT) == EVENT_ENROLL_COMPLETE
    assert procedure.events == [EVENT_WAIT_FINGER, CODE_FAKE_FINGER, CODE_FAKE_FINGER,
                                EVENT_WAIT_FINGER, EVENT_CAPTURE_ACCEPTED, EVENT_ENROLL_COMPLETE]


def test_a_failed_capture_ends_the_enrolment_once(configure, module):
    configure("status.0x11 = 2\n")
    module.connect()
    procedure = module.start_enrollment(1, 2)
    assert procedure.wait(WAIT) == CODE_ERROR
    assert procedure.events == [EVENT_WAIT_FINGER, CODE_ERROR, CODE_ERROR]
    wait_until_closed(module)


def test_a_stopped_enrolment_ends_cancelled(configure, module):
    configure("busy_ticks = 600\n")
    module.connect()
    procedure = stop_while_waiting_for_the_finger(module, lambda callback: module.start_enrollment(1, 2, callback))
    assert procedure.wait(WAIT) == EVENT_CANCELED
    assert procedure.events[-2:] == [CODE_CANCELING, EVENT_CANCELED]


def test_starting_a_second_enrolment_while_one_runs_is_refused(configure, module):
    configure("busy_ticks = 600\n")
    module.connect()
    waiting = threading.Event()
    first = module.start_enrollment(1, 1, lambda event, image: waiting.set())
    with pytest.raises(fpmodule.FpModuleError) as refused:
        module.start_enrollment(2, 1)
    assert refused.value.function == "BeginEnrollmentProcedure"
    assert waiting.wait(WAIT)
    time.sleep(3 * TICK)
    first.stop()
    assert first.wait(WAIT) == EVENT_CANCELED


def test_verification_finds_the_enrolled_finger(configure, module):
    configure("enrolled = 4:8\nfinger = 4, 9\n")
    module.connect()
    seen = []
    procedure = module.start_verification(lambda event, finger, image: seen.append((event, finger, image)))
    assert procedure.wait(WAIT) == CODE_MATCH
    assert procedure.finger == 4
    assert [event for event, _, _ in seen] == [EVENT_WAIT_FINGER, CODE_MATCH]
    assert seen[-1][2] is not None and len(seen[-1][2].data) == 120 * 100

    again = module.start_verification()
    assert again.wait(WAIT) == CODE_NO_MATCH
    assert again.finger is None


def test_a_stopped_verification_ends_cancelled(configure, module):
    configure("enrolled = 1\nbusy_ticks = 600\n")
    module.connect()
    seen = []
    procedure = stop_while_waiting_for_the_finger(
        module, lambda callback: module.start_verification(lambda *report: seen.append(report) or callback(*report)))
    assert procedure.wait(WAIT) == EVENT_CANCELED
    assert [event for event, _, _ in seen] == [EVENT_WAIT_FINGER, CODE_CANCELING, EVENT_CANCELED]


def test_verification_that_connects_itself(configure, library):
    configure("enrolled = 2:8\nfinger = 2\n")
    module = fpmodule.Module(library)
    procedure = module.start_verification(connect=True)
    assert procedure.wait(WAIT) == CODE_MATCH
    assert procedure.images[0].width == 120 and module.size() == (120, 100, 1)
    module.disconnect()


def test_enrolment_that_connects_itself_reports_no_module(configure, library):
    configure("modules = 0\n")
    with pytest.raises(fpmodule.FpModuleError) as refused:
        fpmodule.Module(library).start_enrollment(1, 1, connect=True)
    assert refused.value.function == "SmartCard_Enrollment"


def test_an_exception_in_the_callback_reaches_wait(module):
    def fails(event, image):
        raise ValueError("from the callback")

    procedure = module.start_enrollment(1, 1, fails)
    with pytest.raises(ValueError, match="from the callback"):
        procedure.wait(WAIT)
    assert procedure.result == EVENT_ENROLL_COMPLETE


def test_delete_and_card_issue_procedures(configure, module):
    configure("enrolled = 1, 2, 3, 4, 5\n")
    module.connect()
    results = []
    assert module.start_delete(2, results.append).wait(WAIT) == 1
    assert module.enrolled_captures(2) == 0 and module.enrolled_captures(3) == 8
    assert module.start_delete().wait(WAIT) == 1
    assert [module.enrolled_captures(f) for f in range(1, 6)] == [0] * 5
    assert module.start_card_issue(results.append).wait(WAIT) == 1
    assert results == [1, 1]
    wait_until_closed(module)
    assert module.connect().card_issued is True


def test_a_failed_deletion_reports_its_result(configure, module):
    configure("enrolled = 1\nstatus.0x14 = 2\n")
    module.connect()
    assert module.start_delete(1).wait(WAIT) == 2
