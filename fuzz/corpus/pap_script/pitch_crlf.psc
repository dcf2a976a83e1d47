Read from file... temp.wav
		#Play
		To Pitch... 0.01 125 500
		To PointProcess
		Write to text file... temp.pointprocess
		select all
		Remove