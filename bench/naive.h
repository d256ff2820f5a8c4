#pragma once

// The naive window's whole work: convert the entire surface and send all of it.
// Called by the naive console from the drawing thread, once per pass.
void NaivePresent();
