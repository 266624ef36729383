larkspill_e2e(scene TIMEOUT 180)
