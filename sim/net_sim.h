// The simulated network receiver: the `net` link of receiver_sim.
#pragma once

// receiver_sim net [options]: argv[0] is "net".
int run_net_sim(int argc, char** argv);
