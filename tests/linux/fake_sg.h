// Control side of the fake SCSI generic layer (fake_sg.cpp): a test program linked with
// it sees /sys/class/scsi_generic and /dev/sg* from a folder of its own, with the
// kernel's checks on every SG_IO and a virtual module (or a plain USB disk) behind
// each node it attaches.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

enum FakeSgKind { FAKE_SG_MODULE = 1, FAKE_SG_USB_DISK = 2 };

// Forgets every node, count and setting; `root` stands in for "/" under the two folders.
void fake_sg_reset(const char *root);
// What answers behind /dev/<node> from now on (a replug gives the node a new device).
void fake_sg_attach(const char *node, int kind);
// Another process holds the node exclusively: a blocking open would wait for ever.
void fake_sg_hold(const char *node, int held);
void fake_sg_geometry(const char *node, int width, int height, int bytesPerPixel);
// The module answers every command with this code with this status.
void fake_sg_answer_always(const char *node, unsigned char code, unsigned char status);
// Commands with this code that reached the device behind the node.
int fake_sg_count(const char *node, unsigned char code);
// SG_IO requests that the kernel's checks refused, and descriptors of nodes still open.
int fake_sg_refused(void);
int fake_sg_open_nodes(void);
// The next SG_IO sends this signal to its own thread while the command is in flight.
void fake_sg_signal_next_transfer(int signal);
// readlink("/proc/self/exe") fails from now on, as in a process whose file is gone.
void fake_sg_hide_executable(int hidden);
// Attempts to create or open something under "/SmartCard_Log" (all refused).
int fake_sg_root_log_attempts(void);

#ifdef __cplusplus
}
#endif
