# The peer's overlap-add: Praat's manipulation with the F0 scaled, or made
# flat, and the duration scaled, resynthesised by overlap-add.
form Psola
  sentence input
  sentence output
  real factor 1
  real flat 0
  real duration_scale 1
  real floor 75
  real ceiling 300
endform
sound = Read from file: input$
duration = Get total duration
manipulation = To Manipulation: 0.01, floor, ceiling
tier = Extract pitch tier
if flat > 0
  Remove points between: 0, duration
  Add point: duration / 2, flat
else
  Multiply frequencies: 0, duration, factor
endif
plusObject: manipulation
Replace pitch tier
durations = Create DurationTier: "scale", 0, duration
Add point: duration / 2, duration_scale
plusObject: manipulation
Replace duration tier
selectObject: manipulation
result = Get resynthesis (overlap-add)
Save as WAV file: output$
