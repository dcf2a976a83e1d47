# Prints a file's duration, HNR and local jitter, then its F0 every 10 ms
# (0 where unvoiced), by Praat's own autocorrelation tracker.
form Measure
  sentence file
  real floor 75
  real ceiling 300
endform
sound = Read from file: file$
duration = Get total duration
harmonicity = To Harmonicity (cc): 0.01, floor, 0.1, 1.0
hnr = Get mean: 0, 0
selectObject: sound
points = To PointProcess (periodic, cc): floor, ceiling
jitter = Get jitter (local): 0, 0, 0.0001, 0.02, 1.3
appendInfoLine: "duration ", fixed$(duration, 6), " hnr ", fixed$(hnr, 3), " jitter ", fixed$(jitter * 100, 3)
selectObject: sound
pitch = To Pitch: 0.01, floor, ceiling
frames = Get number of frames
for i to frames
  t = Get time from frame number: i
  f = Get value in frame: i, "Hertz"
  if f = undefined
    f = 0
  endif
  appendInfoLine: fixed$(t, 4), " ", fixed$(f, 2)
endfor
