// Runs the P/Invoke declarations against the virtual library (mapped in the program's
// .config file): every export of the module-definition file is declared and callable,
// and a connect, an enrolment in the background, a verification and the delete and
// card-issue procedures behave as the library says.
// Usage: FpModuleTest.exe <fpmodule.def> <folder for configuration files>
using System;
using System.Collections.Generic;
using System.IO;
using System.Linq;
using System.Reflection;
using System.Runtime.InteropServices;
using System.Threading;
using Fpm;

static class FpModuleTest
{
    static int failures;
    static string configFolder;
    static int generation;

    static void Check(bool condition, string what)
    {
        Console.WriteLine((condition ? "ok   " : "FAIL ") + what);
        if (!condition) failures++;
    }

    // Each text builds a fresh virtual module.
    static void Configure(string text)
    {
        string path = Path.Combine(configFolder, "fpmodule-virtual-cs.ini");
        File.WriteAllText(path, "# run " + (++generation) + "\n" + text);
        Environment.SetEnvironmentVariable("FPMODULE_VIRTUAL_CONFIG", path);
    }

    static void EveryExportIsDeclared(string defFile)
    {
        var declared = new HashSet<string>(typeof(FpModule).GetMethods(BindingFlags.Public | BindingFlags.Static)
            .Where(m => m.GetCustomAttribute<DllImportAttribute>() != null)
            .Select(m => m.Name));
        var exported = File.ReadAllLines(defFile).Select(l => l.Split('=')[0].Trim())
            .Where(l => l.Length > 0 && !l.StartsWith(";") && l != "EXPORTS" && !l.StartsWith("LIBRARY")).ToList();
        var missing = exported.Where(name => !declared.Contains(name)).ToList();
        Check(exported.Count == 137 && missing.Count == 0,
              "all 137 exports declared" + (missing.Count > 0 ? " (missing: " + string.Join(", ", missing) + ")" : ""));
        Check(declared.SetEquals(exported), "no declaration beyond the exports");
    }

    static void ConnectAndQuery()
    {
        Configure("width = 64\nheight = 48\nfamily = WB\nmodules = 2\n");
        IntPtr[] paths = Enumerable.Range(0, 4).Select(_ => Marshal.AllocHGlobal(FpModule.PathCharacters * 2)).ToArray();
        int found;
        Check(FpModule.ExtractDevicePath("wexa", "finger_module", paths, paths.Length, out found) == 1 && found == 2,
              "ExtractDevicePath lists both modules");
        string first = Marshal.PtrToStringUni(paths[0]);
        Check(first.Contains("ven_wexa") && first != Marshal.PtrToStringUni(paths[1]), "paths read back as UTF-16");
        IntPtr handle;
        Check(FpModule.ObtainHandleFromPath(out handle, first) == 1, "ObtainHandleFromPath opens the first");
        int width, height;
        Check(FpModule.QuerySizeWithHandle(handle, out width, out height) == 1 && width == 64 && height == 48,
              "QuerySizeWithHandle gives 64 x 48");
        foreach (var p in paths) Marshal.FreeHGlobal(p);
        Check(FpModule.CheckDeviceConnection() == 2, "CheckDeviceConnection refuses two modules");

        Configure("width = 64\nheight = 48\nfamily = WB\n");
        Check(FpModule.CheckDeviceConnection() == 1, "CheckDeviceConnection connects one");
        var version = new byte[2];
        Check(FpModule.GetFirmwareVersion(9, 2, version) == 1 && version[0] == 'W' && version[1] == 'B',
              "GetFirmwareVersion fills the caller's array");
        byte bytesPerPixel;
        Check(FpModule.QuerySizeEx(out width, out height, out bytesPerPixel) == 1 && bytesPerPixel == 1,
              "QuerySizeEx writes through out parameters");
        var image = new byte[64 * 48];
        Check(FpModule.GetRawImage(image) == 1 && image.Any(b => b != 0), "GetRawImage fills the array");
        Check(FpModule.DeviceConnection("wexa", "finger_module") == 1, "DeviceConnection takes UTF-16 names");
    }

    static void EnrolAndVerifyInTheBackground()
    {
        Configure("");
        int width, height;
        var events = new List<byte>();
        var images = new List<byte[]>();
        var done = new ManualResetEvent(false);
        int w = 0, h = 0;
        byte started = FpModule.StartEnrollment(5, 2, out width, out height, (eventCode, image) => {
            byte code = Marshal.ReadByte(eventCode);
            lock (events) {
                events.Add(code);
                var copy = FpModule.CopyImage(image, w, h);
                if (copy != null) images.Add(copy);
            }
            if (code == FpModule.EVENT_ENROLL_COMPLETE) {
                FpModule.CompleteEnrollmentProcedure();
                done.Set();
            }
        });
        w = width;
        h = height;
        Check(started == 1 && width == 120 && height == 100, "SmartCard_Enrollment connects and starts");
        // The library calls the delegate after every reference of the caller is gone.
        GC.Collect();
        GC.WaitForPendingFinalizers();
        Check(done.WaitOne(30000), "the enrolment completes");
        lock (events) {
            Check(string.Join(",", events) == "18,19,1,18,19,17", "enrolment events " + string.Join(",", events));
            Check(images.Count == 2 && images.All(i => i.Length == 120 * 100), "two 8-bit images handed over");
        }
        int amount;
        Check(FpModule.QueryEnrollAmount(5, out amount) == 1 && amount == 2, "the module holds two captures");

        byte verdict = 0, matched = 0;
        var verified = new ManualResetEvent(false);
        Check(FpModule.StartVerification((eventCode, finger, image) => {
            byte code = Marshal.ReadByte(eventCode);
            if (code == FpModule.EVENT_WAIT_FINGER) return;
            verdict = code;
            matched = Marshal.ReadByte(finger);
            FpModule.CompleteVerifyProcedure();
            verified.Set();
        }) == 1, "BeginVerifyProcedure starts");
        GC.Collect();
        Check(verified.WaitOne(30000) && verdict == FpModule.CODE_MATCH && matched == 5, "the verification matches finger 5");
    }

    static void ResultProcedures()
    {
        Configure("enrolled = 1:8, 2:8\n");
        Check(FpModule.CheckDeviceConnection() == 1, "connected for the procedures");
        byte deleted = 0;
        var done = new ManualResetEvent(false);
        Check(FpModule.StartDelete(1, result => { deleted = Marshal.ReadByte(result); done.Set(); }) == 2,
              "the delete procedure starts (2)");
        GC.Collect();
        int amount;
        Check(done.WaitOne(30000) && deleted == 1, "the delete procedure reports 1");
        Check(FpModule.QueryEnrollAmount(1, out amount) == 1 && amount == 0 &&
              FpModule.QueryEnrollAmount(2, out amount) == 1 && amount == 8, "finger 1 deleted, finger 2 kept");

        byte issued = 0;
        var issuedDone = new ManualResetEvent(false);
        Check(FpModule.StartCardIssue(result => { issued = Marshal.ReadByte(result); issuedDone.Set(); }) == 2,
              "the card-issue procedure starts (2)");
        GC.Collect();
        Check(issuedDone.WaitOne(30000) && issued == 1, "the card is issued");
    }

    static int Main(string[] args)
    {
        if (args.Length != 2) {
            Console.Error.WriteLine("usage: FpModuleTest.exe <fpmodule.def> <folder for configuration files>");
            return 2;
        }
        configFolder = args[1];
        Directory.CreateDirectory(configFolder);
        EveryExportIsDeclared(args[0]);
        ConnectAndQuery();
        EnrolAndVerifyInTheBackground();
        ResultProcedures();
        FpModule.DeviceDisConnection();
        Console.WriteLine(failures == 0 ? "all checks passed" : failures + " check(s) failed");
        return failures == 0 ? 0 : 1;
    }
}
