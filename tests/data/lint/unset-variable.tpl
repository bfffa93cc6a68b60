%_anrede="Hallo"%_anrede %_Name,
%_Gruss
%_anrede="Hallo"%_anrede nochmal, %_name.
