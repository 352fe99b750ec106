import ctypes
import re
import subprocess
import sys
import os

import pytest

import fpmodule


def test_connect_reports_what_the_file_configures(configure, library):
    configure("width = 64\nheight = 80\nbytes_per_pixel = 2\nfirmware = FPMODULE WB 83KV 2.00\n")
    with fpmodule.Module(library).connect() as module:
        assert module.size() == (64, 80, 2)
        assert module.family == "WB"
        assert module.firmware_text == "FPMODULE WB 83KV 2.00"
        assert module.captures_per_finger() == 16
        image = module.current_image()
        assert (image.width, image.height, image.bytes_per_pixel, len(image.data)) == (64, 80, 2, 64 * 80 * 2)
        converted = module.convert_to_8bit(image)
        assert (converted.bytes_per_pixel, len(converted.data)) == (1, 64 * 80)


@pytest.mark.parametrize("text, error", [
    ("modules = 0\n", fpmodule.NoModuleError),
    ("modules = 2\n", fpmodule.NoModuleError),
    ("family = ZZ\n", fpmodule.NoModuleError),
    ("device_list = unavailable\n", fpmodule.NoModuleError),
    ("no such key = 1\n", fpmodule.NoModuleError),
])
def test_connect_raises_when_no_module_is_accepted(configure, library, text, error):
    configure(text)
    with pytest.raises(error):
        fpmodule.Module(library).connect()


def test_connect_variants(configure, library):
    configure("family = ZZ\nvendor_code = 0x0304\nmodules = 1\n")
    module = fpmodule.Module(library)
    assert module.connect(firmware_check=False).family == "ZZ"
    assert module.connect(families="XX ZZ").family == "ZZ"
    assert module.connect_by_name().size() == (120, 100, 1)
    with pytest.raises(fpmodule.NoModuleError) as refused:
        module.connect(vendor_code=0x0304)
    assert refused.value.function == "GetDevConnectionByVendorCode"
    configure("vendor_code = 0x0304\n")
    assert module.connect(vendor_code=0x0304).family == "WA"
    configure("device_list = unavailable\n")
    with pytest.raises(fpmodule.DeviceListUnavailableError):
        module.connect_by_name()
    with pytest.raises(fpmodule.DeviceListUnavailableError):
        module.paths()


def test_paths_lists_every_module(configure, library):
    configure("modules = 3\n")
    paths = fpmodule.Module(library).paths()
    assert len(paths) == 3 and len(set(paths)) == 3
    assert all("ven_wexa" in p and "prod_finger_module" in p for p in paths)
    assert fpmodule.Module(library).paths(vendor="other") == []


def test_enrol_identify_verify_delete(module):
    images = module.enroll(2, captures=3)
    assert [(i.width, i.height, len(i.data)) for i in images] == [(120, 100, 12000)] * 3
    assert module.enrolled_captures(2) == 3
    assert module.identify() == 2
    assert module.verify(2) is True
    assert module.verify(5) is False
    module.delete(2)
    assert module.enrolled_captures(2) == 0
    assert module.identify() is None


def test_the_scripted_fingers_and_a_fake_one(configure, module):
    configure("enrolled = 1:8, 4:8\nfinger = fake, 4, none\n")
    module.connect()
    with pytest.raises(fpmodule.FakeFingerError) as fake:
        module.enroll_capture(3)
    assert fake.value.image is not None and len(fake.value.image.data) == 120 * 100
    assert module.identify() == 4
    assert module.identify() is None


def test_delete_all_and_the_card(configure, module):
    configure("enrolled = 1, 2, 3\ncard_issued = no\n")
    module.connect()
    module.delete()
    assert [module.enrolled_captures(f) for f in (1, 2, 3)] == [0, 0, 0]
    assert module.card_issued is False
    module.issue_card()
    assert module.card_issued is True


def test_a_refusal_names_the_export_and_its_result(configure, module):
    configure("status.0x36 = 2\n")
    module.connect()
    with pytest.raises(fpmodule.FpModuleError) as refused:
        module.issue_card()
    assert (refused.value.function, refused.value.result) == ("IssueCard", 2)


def test_an_unplugged_module_fails_its_commands(configure, module):
    configure("unplug_after = 60\n")
    module.connect()
    with pytest.raises(fpmodule.FpModuleError):
        for _ in range(100):
            module.firmware_version()
    with pytest.raises(fpmodule.NoModuleError):
        module.connect()


def test_identify_an_uploaded_image(configure, module):
    configure("enrolled = 7:8\nfinger = 7\n")
    module.connect()
    image = module.current_image()
    assert module.identify(image) == 7
    with pytest.raises(ValueError):
        module.identify(fpmodule.Image(2, 2, 1, bytes(4)))


def test_save_png(module, tmp_path):
    pil = pytest.importorskip("PIL.Image")
    image = module.current_image()
    image.save_png(tmp_path / "capture.png")
    with pil.open(tmp_path / "capture.png") as saved:
        assert saved.size == (120, 100)
        assert saved.getpixel((10, 20)) == image.pixel(10, 20)


def test_save_png_keeps_16_bit_pixels(configure, module, tmp_path):
    pil = pytest.importorskip("PIL.Image")
    configure("bytes_per_pixel = 2\nwidth = 40\nheight = 30\n")
    module.connect()
    image = module.current_image()
    image.save_png(tmp_path / "capture16.png")
    with pil.open(tmp_path / "capture16.png") as saved:
        assert saved.size == (40, 30)
        assert saved.mode.startswith("I")
        assert saved.getpixel((5, 6)) == image.pixel(5, 6)


def test_library_path_follows_argument_then_environment(monkeypatch):
    monkeypatch.setenv("FPMODULE_LIBRARY", "/elsewhere/libfpmodule-virtual.so")
    assert fpmodule.library_path("/mine/libfpmodule.so") == "/mine/libfpmodule.so"
    assert fpmodule.library_path() == "/elsewhere/libfpmodule-virtual.so"
    monkeypatch.delenv("FPMODULE_LIBRARY")
    assert fpmodule.library_path() in ("libfpmodule.so", "fpmodule.dll")
    assert fpmodule.library_path(virtual=True) in ("libfpmodule-virtual.so", "fpmodule-virtual.dll")


def test_windows_takes_the_sdk_folder_of_the_interpreters_pointer_size(monkeypatch):
    monkeypatch.setattr(fpmodule._native, "_WINDOWS", True)
    monkeypatch.setattr(fpmodule._native, "PRODUCT_NAME", "fpmodule.dll")
    monkeypatch.delenv("FPMODULE_LIBRARY", raising=False)
    monkeypatch.setenv("FPMODULE_SDK", "sdk")
    folder = "x64" if ctypes.sizeof(ctypes.c_void_p) == 8 else "x86"
    assert fpmodule.library_path() == os.path.join("sdk", folder, "bin", "fpmodule.dll")
    assert fpmodule.library_path("mine.dll") == "mine.dll"


@pytest.mark.parametrize("machine, bits", [(0x14C, 32), (0x8664, 64)])
def test_a_dll_of_the_other_pointer_size_is_refused_by_name(monkeypatch, tmp_path, machine, bits):
    dll = tmp_path / f"fpmodule-{bits}.dll"
    header = bytearray(0x200)
    header[:2] = b"MZ"
    header[0x3C:0x40] = (0x80).to_bytes(4, "little")
    header[0x80:0x84] = b"PE\0\0"
    header[0x84:0x86] = machine.to_bytes(2, "little")
    dll.write_bytes(bytes(header))
    monkeypatch.setattr(fpmodule._native, "_WINDOWS", True)
    interpreter = ctypes.sizeof(ctypes.c_void_p) * 8
    if bits == interpreter:
        # The right width goes on to the loader, which refuses this stub as no library.
        with pytest.raises(OSError) as error:
            fpmodule.load(dll)
        assert "bit fpmodule DLL" not in str(error.value)
    else:
        with pytest.raises(OSError, match=f"{bits}-bit fpmodule DLL and this Python is {interpreter}-bit"):
            fpmodule.load(dll)


def test_the_module_says_which_library_it_loaded(configure, library):
    module = fpmodule.Module(library)
    bits = ctypes.sizeof(ctypes.c_void_p) * 8
    assert module.library == f"{os.environ['FPMODULE_LIBRARY']} ({bits}-bit)"


def test_a_process_may_end_while_a_worker_finishes(configure, library):
    # The delete worker still sets the LEDs after its callback: exiting then must be clean.
    script = (
        "import fpmodule\n"
        f"module = fpmodule.Module({library._name!r}).connect()\n"
        "print(module.start_delete(4).wait(10))\n"
    )
    env = dict(os.environ, PYTHONPATH=os.path.join(os.path.dirname(__file__), ".."))
    for _ in range(3):
        done = subprocess.run([sys.executable, "-c", script], env=env, capture_output=True, text=True, timeout=60)
        assert (done.returncode, done.stdout.strip()) == (0, "1"), done.stderr


def test_the_package_and_its_metadata_carry_the_librarys_version():
    here = os.path.dirname(os.path.abspath(__file__))
    with open(os.path.join(here, "..", "..", "..", "include", "fpmodule.h")) as header:
        parts = dict(re.findall(r"#define FPM_VERSION_(MAJOR|MINOR|PATCH) (\d+)", header.read()))
    library_version = "{MAJOR}.{MINOR}.{PATCH}".format(**parts)
    assert fpmodule.__version__ == library_version
    setup = subprocess.run([sys.executable, "setup.py", "--version"], cwd=os.path.join(here, ".."),
                           capture_output=True, text=True, check=True)
    assert setup.stdout.split()[-1] == library_version
