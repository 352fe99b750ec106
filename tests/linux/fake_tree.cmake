# Writes a fake sysfs tree and /dev node for one module under ROOT, for a tool run on the
# fake SCSI generic layer. -DROOT=<folder> -DLIMIT_KB=<max_hw_sectors_kb>
file(REMOVE_RECURSE ${ROOT})
set(device ${ROOT}/sys/class/scsi_generic/sg1/device)
file(MAKE_DIRECTORY ${device}/block/sr0/queue ${ROOT}/dev)
file(WRITE ${device}/type "5\n")
file(WRITE ${device}/vendor "WEXA    \n")
file(WRITE ${device}/model "Finger Module   \n")
file(WRITE ${device}/rev "1.00\n")
file(WRITE ${device}/block/sr0/queue/max_hw_sectors_kb "${LIMIT_KB}\n")
file(WRITE ${ROOT}/dev/sg1 "")
